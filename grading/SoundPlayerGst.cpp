#include "grading/SoundPlayerGst.h"

#include <gst/gst.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "common/Error.h"

namespace kestrelo {
namespace {

constexpr const char* kDefaultSink = "autoaudiosink";
constexpr const char* kNeededElements[] = {"filesrc", "wavparse", "audioconvert", "audioresample",
                                           "audiotestsrc"};

// 15 buffers of 10 ms at 44.1 kHz.
constexpr const char* kBeepSource =
    "audiotestsrc wave=sine freq=880 volume=0.3 samplesperbuffer=441 num-buffers=15 "
    "! audio/x-raw,rate=44100,channels=1 ! audioconvert ! audioresample ! ";

struct GstDeleter {
  void operator()(gpointer p) const { gst_object_unref(p); }
};
using GstPtr = std::unique_ptr<GstElement, GstDeleter>;

struct MessageDeleter {
  void operator()(GstMessage* m) const { gst_message_unref(m); }
};

// gst_init once per process; the answer is kept.
const std::string& InitProblem() {
  static const std::string problem = [] {
    GError* error = nullptr;
    if (gst_init_check(nullptr, nullptr, &error)) return std::string();
    std::string why =
        std::string("GStreamer cannot start: ") + (error ? error->message : "unknown reason");
    if (error) g_error_free(error);
    return why;
  }();
  return problem;
}

// Empty when every element the player builds its pipelines from is installed.
std::string MissingElements() {
  std::string missing;
  for (const char* name : kNeededElements) {
    GstElementFactory* f = gst_element_factory_find(name);
    if (f == nullptr) {
      missing += missing.empty() ? "" : ", ";
      missing += name;
    } else {
      gst_object_unref(f);
    }
  }
  return missing;
}

std::string ErrorText(GstMessage* msg) {
  GError* error = nullptr;
  gchar* debug = nullptr;
  gst_message_parse_error(msg, &error, &debug);
  std::string text = error ? error->message : "unknown GStreamer error";
  if (error) g_error_free(error);
  g_free(debug);
  return text;
}

// Runs the pipeline to its end; empty on success, else what went wrong.
std::string RunToEnd(GstElement* pipeline) {
  std::unique_ptr<GstBus, GstDeleter> bus(gst_element_get_bus(pipeline));
  std::string problem;
  if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    std::unique_ptr<GstMessage, MessageDeleter> msg(
        gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
    problem = msg ? ErrorText(msg.get()) : "the pipeline does not start";
  } else {
    std::unique_ptr<GstMessage, MessageDeleter> msg(gst_bus_timed_pop_filtered(
        bus.get(), static_cast<GstClockTime>(TGstSoundPlayer::kMaxSoundSeconds) * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    if (!msg) {
      problem = "did not end within " + std::to_string(TGstSoundPlayer::kMaxSoundSeconds) + " s";
    } else if (GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_ERROR) {
      problem = ErrorText(msg.get());
    }
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  return problem;
}

// A pipeline from a description; null with the reason when it does not parse.
GstPtr Parse(const std::string& description, std::string& problem) {
  GError* error = nullptr;
  GstElement* raw = gst_parse_launch(description.c_str(), &error);
  // Owned from here: unreffing a floating reference draws a warning.
  GstPtr pipeline(raw ? GST_ELEMENT(gst_object_ref_sink(raw)) : nullptr);
  if (error) {
    problem = error->message;
    g_error_free(error);
    return nullptr;  // a partly built pipeline is of no use either
  }
  if (!pipeline) problem = "the pipeline cannot be built";
  return pipeline;
}

}  // namespace

std::string TGstSoundPlayer::Unavailable() { return InitProblem(); }

TGstSoundPlayer::TGstSoundPlayer(std::string sink) : sink_(std::move(sink)) {
  if (!InitProblem().empty()) throw Error(InitProblem());
  static const std::string missing = MissingElements();
  if (!missing.empty()) {
    throw Error("GStreamer elements missing: " + missing +
                " (Debian packages gstreamer1.0-plugins-base and gstreamer1.0-plugins-good)");
  }
  if (sink_.empty()) {
    const char* env = std::getenv(kAudioSinkVariable);
    sink_ = env && *env ? env : kDefaultSink;
  }
}

PlayResult TGstSoundPlayer::PlayFile(const std::filesystem::path& file) {
  if (!Exists(file)) return {PlayOutcome::Missing, file.string() + ": no such sound file"};

  // The file goes in as a property, never into the description, so no name
  // can change the pipeline.
  std::string problem;
  GstPtr pipeline = Parse(
      "filesrc name=kestrelo_source ! wavparse ! audioconvert ! audioresample ! " + sink_, problem);
  if (pipeline) {
    GstPtr src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "kestrelo_source"));
    g_object_set(src.get(), "location", file.c_str(), nullptr);
    problem = RunToEnd(pipeline.get());
  } else {
    problem = "audio sink \"" + sink_ + "\": " + problem;
  }
  if (problem.empty()) return {};
  return {PlayOutcome::Unplayable, file.string() + ": cannot be played: " + problem};
}

void TGstSoundPlayer::PlayDefaultSound() {
  std::string problem;
  GstPtr pipeline = Parse(kBeepSource + sink_, problem);
  // Nothing is left to fall back on; the announcement carries on silently.
  if (pipeline) RunToEnd(pipeline.get());
}

}  // namespace kestrelo
