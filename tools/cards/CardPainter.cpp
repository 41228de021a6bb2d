#include "tools/cards/CardPainter.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>

#include "common/Error.h"

namespace kestrelo::cards {

namespace {

QString g_fontFamily;

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QFont CardFont(int pixelSize, bool bold) {
  QFont f(g_fontFamily);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

QColor Grey(int g) { return QColor(g, g, g); }

void Fill(QPainter& p, int x, int y, int w, int h, const QColor& c) {
  if (w > 0 && h > 0) p.fillRect(QRect(x, y, w, h), c);
}

// Dashes of length d every 2d along [from, to), the first starting at from + phase.
template <typename F>
void Dashes(int from, int to, int d, int phase, F draw) {
  for (int a = from + phase; a < to; a += 2 * d) draw(a, std::min(a + d, to) - a);
}

// t: outline thickness, d: dash length.
void PaintBoxOutline(QPainter& p, int t, int d, const PixRect& b, OutlineStyle style) {
  const QColor ink = Qt::black;
  const bool dashTopBottom = style != OutlineStyle::Solid;
  const bool dashSides = style == OutlineStyle::DashedAll;
  if (dashTopBottom) {
    Dashes(b.X, b.Right(), d, 0, [&](int x, int w) { Fill(p, x, b.Y, w, t, ink); });
    Dashes(b.X, b.Right(), d, d, [&](int x, int w) { Fill(p, x, b.Bottom() - t, w, t, ink); });
  } else {
    Fill(p, b.X, b.Y, b.W, t, ink);
    Fill(p, b.X, b.Bottom() - t, b.W, t, ink);
  }
  if (dashSides) {
    Dashes(b.Y, b.Bottom(), d, 0, [&](int y, int h) { Fill(p, b.X, y, t, h, ink); });
    Dashes(b.Y, b.Bottom(), d, d, [&](int y, int h) { Fill(p, b.Right() - t, y, t, h, ink); });
  } else {
    Fill(p, b.X, b.Y, t, b.H, ink);
    Fill(p, b.Right() - t, b.Y, t, b.H, ink);
  }
}

void CentredText(QPainter& p, const QRect& r, const QString& text, const QFont& font, const QColor& c) {
  p.setFont(font);
  p.setPen(c);
  p.drawText(r, Qt::AlignCenter, text);
}

QRect ToQRect(const PixRect& r) { return QRect(r.X, r.Y, r.W, r.H); }

void PaintLetter(QPainter& p, const CardStyle& s, const PixRect& b, const std::string& text) {
  CentredText(p, ToQRect(b), Q(text), CardFont(s.BoxHeight * 3 / 4, false), Grey(s.LetterGrey));
}

// A label: its text on a grey tab between two bars. `tab` is the label
// picture's part (the text is centred in it); the tab and bars extend to
// `outer`, which holds `tab` and is as wide as the card's option boxes.
void PaintLabel(QPainter& p, const CardStyle& s, const PixRect& tab, const PixRect& outer, const std::string& text) {
  const int t = s.LabelOutline;
  Fill(p, outer.X, outer.Y, outer.W, outer.H, Grey(s.LabelFillGrey));
  Fill(p, outer.X, outer.Y, outer.W, t, Qt::black);
  Fill(p, outer.X, outer.Bottom() - t, outer.W, t, Qt::black);
  const int size = text.size() > 3 ? s.BoxHeight * 3 / 5 : s.BoxHeight * 3 / 4;
  CentredText(p, ToQRect(tab), Q(text), CardFont(size, true), Qt::black);
}

// A pencil mark drawn by hand: the whole box blackened.
void PaintPencil(QPainter& p, const CardStyle& s, const PixRect& b) {
  p.fillRect(QRect(b.X - 1, b.Y - 1, b.W + 2, b.H + 2), Grey(s.PencilGrey));
}

void PaintWrongMark(QPainter& p, const CardStyle& s, const Card& c, const PixRect& b, CellKind kind) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  QPen pen(Grey(s.PencilGrey));
  pen.setWidthF(std::max(2.0, c.Outline * 0.75));
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  const QRectF r(b.X + c.Outline + 2, b.Y + c.Outline + 1, b.W - 2 * c.Outline - 4, b.H - 2 * c.Outline - 2);
  switch (kind) {
    case CellKind::ExampleTick: {
      QPainterPath path;
      path.moveTo(r.left() + r.width() * 0.25, r.top() + r.height() * 0.55);
      path.lineTo(r.left() + r.width() * 0.45, r.bottom());
      path.lineTo(r.right() - r.width() * 0.2, r.top());
      p.drawPath(path);
      break;
    }
    case CellKind::ExampleCross:
      p.drawLine(QPointF(r.left() + r.width() * 0.3, r.top()), QPointF(r.right() - r.width() * 0.3, r.bottom()));
      p.drawLine(QPointF(r.right() - r.width() * 0.3, r.top()), QPointF(r.left() + r.width() * 0.3, r.bottom()));
      break;
    case CellKind::ExampleCircle:
      p.drawEllipse(QRectF(r.center().x() - r.height() * 0.6, r.top(), r.height() * 1.2, r.height()));
      break;
    case CellKind::ExampleDash:
      p.drawLine(QPointF(r.left() + r.width() * 0.2, r.center().y()), QPointF(r.right() - r.width() * 0.2, r.center().y()));
      break;
    default:
      break;
  }
  p.restore();
}

void PaintCell(QPainter& p, const CardStyle& s, const Card& card, const CardCell& c) {
  switch (c.Kind) {
    case CellKind::Label: {
      // The option-box extent of the label's cell, around the label box.
      const int w = std::max(card.BoxWidth, c.Box.W);
      const PixRect outer{c.Box.X - (w - c.Box.W) / 2, c.Box.Y, w, c.Box.H};
      PaintLabel(p, s, c.Box, outer, c.Text);
      return;
    }
    case CellKind::ExampleFilled:
      PaintBoxOutline(p, card.Outline, card.Dash, c.Box, s.Outline_Style);
      PaintPencil(p, s, c.Box);
      return;
    default:
      PaintBoxOutline(p, card.Outline, card.Dash, c.Box, s.Outline_Style);
      PaintLetter(p, s, c.Box, c.Text);
      if (c.Kind != CellKind::Option && c.Kind != CellKind::Digit) PaintWrongMark(p, s, card, c.Box, c.Kind);
      return;
  }
}

// A dotted write-in line: short separate dots, so that no long line-like
// ink outside the frame can be taken for a corner of the answer area.
void DottedLine(QPainter& p, int x, int y, int length) {
  for (int a = x; a + 4 <= x + length; a += 10) Fill(p, a, y, 4, 2, Qt::black);
}

int TextWidth(const QString& text, const QFont& font) {
  QFontMetrics m(font);
  return m.horizontalAdvance(text);
}

void PaintHeader(QPainter& p, const CardStyle& s, const Card& c, const CardFilling* filling) {
  const double k = HeaderScale(c);
  auto px = [k](double v) { return static_cast<int>(std::lround(v * k)); };
  const int left = c.Frame.X;
  const int right = c.Frame.Right();
  // Title and card name.
  CentredText(p, QRect(left, px(16), c.Frame.W, px(60)), QStringLiteral("答  题  卡"), CardFont(px(44), true),
              Qt::black);
  p.setFont(CardFont(px(22), false));
  p.setPen(Grey(70));
  p.drawText(QRect(left, px(30), c.Frame.W, px(40)), Qt::AlignLeft | Qt::AlignVCenter, Q(c.Name));

  // Name, class and examinee-number fields.
  const QFont field = CardFont(px(28), false);
  const int fieldTop = px(96);
  const int fieldH = px(40);
  int x = left;
  auto caption = [&](const QString& text) {
    p.setFont(field);
    p.setPen(Qt::black);
    const int w = TextWidth(text, field);
    p.drawText(QRect(x, fieldTop, w + 4, fieldH), Qt::AlignLeft | Qt::AlignVCenter, text);
    x += w + px(12);
  };
  caption(QStringLiteral("姓名"));
  if (filling != nullptr && !filling->StudentName.empty()) {
    CentredText(p, QRect(x, fieldTop - px(4), px(200), fieldH), Q(filling->StudentName), CardFont(px(30), false),
                Grey(s.PencilGrey));
  }
  DottedLine(p, x, fieldTop + fieldH - px(4), px(200));
  x += px(240);
  caption(QStringLiteral("班级"));
  DottedLine(p, x, fieldTop + fieldH - px(4), px(150));
  x += px(190);
  if (c.ExamNumber) {
    caption(QStringLiteral("考号"));
    // One write-in box per position, well apart so that the boxes stay
    // separate blocks at camera scale.
    for (int i = 0; i < c.ExamDigits; ++i) {
      const PixRect b{x + i * px(44), fieldTop + px(2), px(30), px(36)};
      Fill(p, b.X, b.Y, b.W, 2, Qt::black);
      Fill(p, b.X, b.Bottom() - 2, b.W, 2, Qt::black);
      Fill(p, b.X, b.Y, 2, b.H, Qt::black);
      Fill(p, b.Right() - 2, b.Y, 2, b.H, Qt::black);
      if (filling != nullptr && i < static_cast<int>(filling->ExamNumber.size())) {
        CentredText(p, ToQRect(b), Q(filling->ExamNumber.substr(static_cast<std::size_t>(i), 1)),
                    CardFont(px(26), false), Grey(s.PencilGrey));
      }
    }
  }

  // Filling example (when the lattice has no room for it) and the note.
  const int noteTop = px(150);
  const int noteH = px(32);
  const QFont note = CardFont(px(22), false);
  x = left;
  auto text = [&](const QString& t) {
    p.setFont(note);
    p.setPen(Qt::black);
    const int w = TextWidth(t, note);
    p.drawText(QRect(x, noteTop, w + 4, noteH), Qt::AlignLeft | Qt::AlignVCenter, t);
    x += w + px(10);
  };
  if (!c.ExampleInLattice) {
    auto example = [&](CellKind kind) {
      const PixRect b{x, noteTop + (noteH - c.BoxHeight) / 2, c.BoxWidth, c.BoxHeight};
      PaintCell(p, s, c, CardCell{0, 0, kind, "B", b});
      x += c.BoxWidth + px(12);
    };
    text(QStringLiteral("填涂示例  正确"));
    example(CellKind::ExampleFilled);
    x += px(14);
    text(QStringLiteral("错误"));
    example(CellKind::ExampleTick);
    example(CellKind::ExampleCross);
    example(CellKind::ExampleCircle);
    example(CellKind::ExampleDash);
    x += px(24);
  }
  const QString hint = QStringLiteral("请用2B铅笔将选项框涂满、涂黑，修改时用橡皮擦干净");
  p.setFont(note);
  p.setPen(Qt::black);
  const int hintWidth = TextWidth(hint, note);
  if (x + hintWidth > right) x = left, p.setFont(CardFont(px(20), false));
  p.drawText(QRect(x, noteTop, right - x, noteH), Qt::AlignRight | Qt::AlignVCenter, hint);
}

// The examinee-number positions, numbered beside the frame at their rows.
void PaintPositionNumbers(QPainter& p, const Card& c) {
  const QFont font = CardFont(20, false);
  p.setFont(font);
  p.setPen(Qt::black);
  for (std::size_t i = 0; i < c.ExamRowOfPosition.size(); ++i) {
    const int rowTop = c.LatticeOrigin.Y + c.ExamRowOfPosition[i] * c.RowPitch;
    const QString text = QString::number(static_cast<int>(i) + 1);
    if (c.ExamPositionLeft[i]) {
      p.drawText(QRect(0, rowTop, c.Frame.X - 5, c.RowPitch), Qt::AlignRight | Qt::AlignVCenter, text);
    } else {
      p.drawText(QRect(c.Frame.Right() + 5, rowTop, c.PictureWidth - c.Frame.Right() - 5, c.RowPitch),
                 Qt::AlignLeft | Qt::AlignVCenter, text);
    }
  }
}

void PaintFrame(QPainter& p, const Card& c) {
  const PixRect& f = c.Frame;
  const int t = c.FrameLine;
  Fill(p, f.X, f.Y, f.W, t, Qt::black);
  Fill(p, f.X, f.Bottom() - t, f.W, t, Qt::black);
  Fill(p, f.X, f.Y, t, f.H, Qt::black);
  Fill(p, f.Right() - t, f.Y, t, f.H, Qt::black);
  for (const PixRect& cut : FrameBevels(c)) Fill(p, cut.X, cut.Y, cut.W, cut.H, Qt::white);
}

Picture FromImage(const QImage& src) {
  const QImage img = src.convertToFormat(QImage::Format_RGB888);
  Picture pic(img.width(), img.height());
  for (int y = 0; y < img.height(); ++y) {
    const uchar* in = img.constScanLine(y);
    std::uint8_t* out = pic.Row(y);
    for (int x = 0; x < img.width(); ++x) {
      out[3 * x] = in[3 * x + 2];
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
  }
  return pic;
}

}  // namespace

void LoadCardFont(const std::filesystem::path& fontFile) {
  if (!std::filesystem::exists(fontFile)) {
    throw FileError(fontFile.string(), "the card font is missing (Debian package fonts-wqy-microhei)");
  }
  const int id = QFontDatabase::addApplicationFont(QString::fromStdString(fontFile.string()));
  const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
  if (families.isEmpty()) throw FileError(fontFile.string(), "the card font cannot be loaded");
  g_fontFamily = families.front();
}

void PaintCard(QPainter& p, const CardStyle& s, const Card& c, const CardFilling* filling) {
  if (g_fontFamily.isEmpty()) throw Error("LoadCardFont must run before a card is drawn");
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  PaintHeader(p, s, c, filling);
  PaintPositionNumbers(p, c);
  PaintFrame(p, c);
  for (const CardCell& cell : c.Cells) PaintCell(p, s, c, cell);
  if (filling != nullptr) {
    for (const CardFilling::Cell& m : filling->Marks) {
      const auto it = std::find_if(c.Cells.begin(), c.Cells.end(),
                                   [&](const CardCell& cell) { return cell.Row == m.Row && cell.Col == m.Col; });
      if (it == c.Cells.end()) throw Error(c.Name + ": a pencil mark outside the printed boxes");
      PaintPencil(p, s, it->Box);
    }
  }
  p.restore();
}

Picture RenderCardPicture(const CardStyle& s, const Card& c, const CardFilling* filling) {
  QImage img(c.PictureWidth, c.PictureHeight, QImage::Format_RGB888);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    PaintCard(p, s, c, filling);
  }
  for (const PixPoint& a : AnchorPixels(c)) img.setPixel(a.X, a.Y, qRgb(255, 0, 0));
  return FromImage(img);
}

Picture RenderLabelPicture(const CardStyle& s, int rowPitch, int first, int fromAnchorColumn) {
  if (g_fontFamily.isEmpty()) throw Error("LoadCardFont must run before a label is drawn");
  static const char* const kTrueFalse[5] = {"判", "断", "题", "A对", "B错"};
  const int h = 1 + 4 * rowPitch + s.BoxHeight;
  QImage img(s.LabelWidth, h, QImage::Format_RGB888);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    for (int i = 0; i < 5; ++i) {
      const PixRect b{0, 1 + i * rowPitch, s.LabelWidth, s.BoxHeight};
      PaintLabel(p, s, b, b, first == 0 ? std::string(kTrueFalse[i]) : std::to_string(first + i));
    }
  }
  return FromImage(img.copy(fromAnchorColumn, 0, s.LabelWidth - fromAnchorColumn, h));
}

std::string RenderCardPdf(const CardStyle& s, const Card& c, const CardFilling* filling) {
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(s.Dpi);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(Q(c.Name));
    pdf.setCreator(QStringLiteral("kestrelo-cards"));
    QPainter p(&pdf);
    // Centred across the page, 12 mm from its top, at the picture's scale.
    const int pageWidth = pdf.width();
    const int top = s.Dpi * 12 / 254;
    p.translate(std::max(0, (pageWidth - c.PictureWidth) / 2), top);
    PaintCard(p, s, c, filling);
  }
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace kestrelo::cards
