#pragma once
// Free-standing picture operations around the analysis: the frame timer's
// mirrors and quarter turns, the read thread's deskew, and the search for the
// exact row of a printed horizontal line.
#include "imaging/IntBmp.h"
#include "imaging/Picture.h"

namespace kestrelo {

// Our pictures are always 24-bit.
int BytesPerPixel(const Picture& picture);

void MirrorLeftRight(Picture& picture);
void MirrorTopBottom(Picture& picture);
// Angle is 0, 90, 180 or 270 (modulo 360); 90 turns clockwise. Throws Error otherwise.
void RotateQuarterTurns(Picture& picture, int angle);

// Turns the content by `angle` degrees counter-clockwise on screen about the
// source centre (cx, cy): a line falling to the right by `angle` comes out
// level. dst is resized to the turned bounding box, addressed relative to
// the source centre; uncovered pixels are white with grey 255. greyIn is
// released.
void RotateAboutCentre(const Picture& src, Picture& dst, TIntDynaArrArr& greyIn,
                       TIntDynaArrArr& greyOut, double angle);

// Fills every Match block met in Scan (limited to Limit) with Fill and returns
// the largest, the first of equal ones; its points stay valid.
void FindLargestBlock(TIntBmp& bmp, const TRect& scan, const TRect& limit, TColorTriple match,
                      TColorTriple fill, TDotBlock& best);

// The row of a NearBlack line near `row` (within `half` rows), measured along
// the line from its left or right end.
int LocateLineRow(TIntBmp& bmp, int row, int half, const TRect& r, bool fromLeft);

void LineLeftEnd(const TIntBmp& bmp, const TDotBlock& block, TPoint& p);
void LineRightEnd(const TIntBmp& bmp, const TDotBlock& block, TPoint& p);
// Whole degrees -3..3 along which a line through p meets the most pixels of
// the colour; 0 when it meets none.
int LineAngle(const TIntBmp& bmp, const TDotBlock& block, TPoint p, TColorTriple colour);

}  // namespace kestrelo
