// Video player service on GStreamer: playbin decodes the file and keeps sound and picture in
// step; the picture goes to an appsink as RGBA frames, released at their presentation time,
// which the runtime pulls without waiting; the sound goes to the system's audio output
// (autoaudiosink), or to a sink that keeps time and plays nothing when there is no output or
// none is wanted. Nothing here waits for long: opening waits at most VIDEO_STALL_MS for the
// first picture, and every other call returns at once.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/video_player.h"

namespace qrn {

namespace {

// playbin's flags for subtitles and visualisations, which a video here never shows.
constexpr guint kPlayFlagText = 1u << 2;
constexpr guint kPlayFlagVis = 1u << 3;
// Frames the appsink holds before it drops the oldest.
constexpr guint kQueuedFrames = 3;

double to_ms(gint64 nanoseconds) { return static_cast<double>(nanoseconds) / 1.0e6; }

bool env_is(const char* name, const char* value) {
  const char* set = std::getenv(name);
  return set && std::strcmp(set, value) == 0;
}

// The sound goes nowhere when asked (QUARNEL_VIDEO_AUDIO=none) or when the runtime's own
// sound is switched off (SDL_AUDIODRIVER=dummy or disk): a silent sink that keeps time, so
// the picture still plays at its pace.
bool silent_wanted() {
  return env_is("QUARNEL_VIDEO_AUDIO", "none") || env_is("SDL_AUDIODRIVER", "dummy") ||
         env_is("SDL_AUDIODRIVER", "disk");
}

GstElement* make_audio_sink(bool silent) {
  if (!silent) {
    if (GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr)) return sink;
  }
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (sink) g_object_set(sink, "sync", TRUE, nullptr);
  return sink;
}

struct Player {
  GstElement* pipeline = nullptr;
  GstAppSink* sink = nullptr;  // a reference of our own
  GstBus* bus = nullptr;
  bool has_picture = false;
  int32_t width = 0, height = 0;
  double length_ms = 0.0;
  double last_position_ms = 0.0;
  bool ended = false;
  VideoRect destination;
  GstSample* held = nullptr;  // the frame last handed out, mapped
  GstMapInfo map{};

  ~Player() {
    release_frame();
    if (pipeline) {
      gst_element_set_state(pipeline, GST_STATE_NULL);
      gst_object_unref(pipeline);
    }
    if (sink) gst_object_unref(sink);
    if (bus) gst_object_unref(bus);
  }

  void release_frame() {
    if (!held) return;
    gst_buffer_unmap(gst_sample_get_buffer(held), &map);
    gst_sample_unref(held);
    held = nullptr;
  }

  // Takes every waiting bus message; the end of the stream and an error both end playing.
  void drain_bus() {
    while (GstMessage* message = gst_bus_pop(bus)) {
      switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ERROR:
          if (!ended) {
            ended = true;
            if (length_ms <= 0.0) length_ms = last_position_ms;
          }
          break;
        case GST_MESSAGE_DURATION_CHANGED:
          query_length();
          break;
        default:
          break;
      }
      gst_message_unref(message);
    }
  }

  void query_length() {
    gint64 duration = 0;
    if (gst_element_query_duration(pipeline, GST_FORMAT_TIME, &duration) && duration > 0) {
      length_ms = to_ms(duration);
    }
  }

  // An error waiting on the bus (opening looks for it before it trusts the preroll).
  bool error_waiting() {
    GstMessage* message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    if (!message) return false;
    gst_message_unref(message);
    return true;
  }
};

class GstVideoPlayer final : public VideoPlayerService {
 public:
  VideoPlayerHandle open_video(const char* path) override {
    close_video(current_.get());
    if (!path || !*path || !initialised()) return nullptr;
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    gchar* uri = gst_filename_to_uri(path, nullptr);
    if (!uri) return nullptr;
    bool silent = silent_wanted();
    bool stalled = false;
    std::unique_ptr<Player> player = open_uri(uri, silent, stalled);
    // An audio output that cannot be opened fails the whole pipeline: the video then plays
    // without sound. A file that stalled is not tried again.
    if (!player && !silent && !stalled) player = open_uri(uri, true, stalled);
    g_free(uri);
    current_ = std::move(player);
    return current_.get();
  }

  bool video_source_size(VideoPlayerHandle handle, int32_t& width, int32_t& height) override {
    Player* p = find(handle);
    width = p && p->has_picture ? p->width : 0;
    height = p && p->has_picture ? p->height : 0;
    return p && p->has_picture;
  }

  double video_start_ms(VideoPlayerHandle /*handle*/) override { return 0.0; }

  double video_length_ms(VideoPlayerHandle handle) override {
    Player* p = find(handle);
    if (!p) return 0.0;
    p->drain_bus();
    if (p->length_ms <= 0.0) p->query_length();
    return p->length_ms;
  }

  double video_position_ms(VideoPlayerHandle handle) override {
    Player* p = find(handle);
    if (!p) return 0.0;
    p->drain_bus();
    if (p->ended) return p->length_ms;
    gint64 position = 0;
    if (gst_element_query_position(p->pipeline, GST_FORMAT_TIME, &position) && position >= 0) {
      p->last_position_ms = to_ms(position);
    }
    return p->last_position_ms;
  }

  bool video_ended(VideoPlayerHandle handle) override {
    Player* p = find(handle);
    if (!p) return true;
    p->drain_bus();
    return p->ended;
  }

  bool video_play(VideoPlayerHandle handle) override {
    Player* p = find(handle);
    if (!p) return false;
    return gst_element_set_state(p->pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
  }

  void video_seek_start(VideoPlayerHandle handle) override {
    Player* p = find(handle);
    if (!p) return;
    p->drain_bus();
    p->release_frame();
    auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT);
    if (gst_element_seek_simple(p->pipeline, GST_FORMAT_TIME, flags, 0)) {
      p->ended = false;
      p->last_position_ms = 0.0;
    }
  }

  void video_stop(VideoPlayerHandle handle) override {
    Player* p = find(handle);
    if (p) gst_element_set_state(p->pipeline, GST_STATE_PAUSED);
  }

  void video_set_destination(VideoPlayerHandle handle, const VideoRect& rect) override {
    if (Player* p = find(handle)) p->destination = rect;
  }

  VideoRect video_destination(VideoPlayerHandle handle) override {
    Player* p = find(handle);
    return p ? p->destination : VideoRect();
  }

  bool video_next_frame(VideoPlayerHandle handle, VideoFrame& frame) override {
    Player* p = find(handle);
    if (!p || !p->has_picture) return false;
    GstSample* newest = nullptr;
    while (GstSample* sample = gst_app_sink_try_pull_sample(p->sink, 0)) {
      if (newest) gst_sample_unref(newest);
      newest = sample;
    }
    if (!newest) return false;
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(newest);
    GstCaps* caps = gst_sample_get_caps(newest);
    GstMapInfo map;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_RGBA || GST_VIDEO_INFO_PLANE_STRIDE(&info, 0) % 4 != 0 ||
        !gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      gst_sample_unref(newest);
      return false;
    }
    int32_t width = GST_VIDEO_INFO_WIDTH(&info);
    int32_t height = GST_VIDEO_INFO_HEIGHT(&info);
    int32_t stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    gsize needed = static_cast<gsize>(stride) * static_cast<gsize>(height > 0 ? height - 1 : 0) +
                   static_cast<gsize>(width) * 4;
    if (width <= 0 || height <= 0 || stride < width * 4 || map.size < needed) {
      gst_buffer_unmap(buffer, &map);
      gst_sample_unref(newest);
      return false;
    }
    p->release_frame();
    p->held = newest;
    p->map = map;
    frame.pixels = map.data + GST_VIDEO_INFO_PLANE_OFFSET(&info, 0);
    frame.width = width;
    frame.height = height;
    frame.stride = stride;
    GstClockTime pts = GST_BUFFER_PTS(buffer);
    frame.time_ms = GST_CLOCK_TIME_IS_VALID(pts) ? to_ms(static_cast<gint64>(pts)) : 0.0;
    return true;
  }

  void close_video(VideoPlayerHandle handle) override {
    if (find(handle)) current_.reset();
  }

 private:
  bool initialised() {
    if (!tried_init_) {
      tried_init_ = true;
      GError* error = nullptr;
      ready_ = gst_init_check(nullptr, nullptr, &error);
      if (error) g_error_free(error);
    }
    return ready_;
  }

  static std::unique_ptr<Player> open_uri(const gchar* uri, bool silent, bool& stalled) {
    auto player = std::make_unique<Player>();
    Player& p = *player;
    p.pipeline = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    GstElement* audio = make_audio_sink(silent);
    if (!p.pipeline || !sink || !audio) {
      if (sink) gst_object_unref(gst_object_ref_sink(sink));
      if (audio) gst_object_unref(gst_object_ref_sink(audio));
      return nullptr;
    }
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGBA", nullptr);
    g_object_set(sink, "caps", caps, "sync", TRUE, "max-buffers", kQueuedFrames, "drop", TRUE, "emit-signals", FALSE,
                 nullptr);
    gst_caps_unref(caps);
    p.sink = GST_APP_SINK(gst_object_ref(sink));
    guint flags = 0;
    g_object_get(p.pipeline, "flags", &flags, nullptr);
    flags &= ~(kPlayFlagText | kPlayFlagVis);
    g_object_set(p.pipeline, "uri", uri, "video-sink", sink, "audio-sink", audio, "flags", flags, nullptr);
    p.bus = gst_element_get_bus(p.pipeline);

    // Paused at the start, with the first picture decoded (or the sound ready).
    if (gst_element_set_state(p.pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return nullptr;
    GstState state = GST_STATE_NULL;
    GstStateChangeReturn result =
        gst_element_get_state(p.pipeline, &state, nullptr, static_cast<GstClockTime>(VIDEO_STALL_MS * GST_MSECOND));
    stalled = result == GST_STATE_CHANGE_ASYNC;
    if (result == GST_STATE_CHANGE_FAILURE || stalled || p.error_waiting()) return nullptr;

    gint video_streams = 0, audio_streams = 0;
    g_object_get(p.pipeline, "n-video", &video_streams, "n-audio", &audio_streams, nullptr);
    if (video_streams <= 0 && audio_streams <= 0) return nullptr;
    if (video_streams > 0) {
      GstPad* pad = gst_element_get_static_pad(sink, "sink");
      GstCaps* current = pad ? gst_pad_get_current_caps(pad) : nullptr;
      GstVideoInfo info;
      if (current && gst_video_info_from_caps(&info, current) && GST_VIDEO_INFO_WIDTH(&info) > 0 &&
          GST_VIDEO_INFO_HEIGHT(&info) > 0) {
        p.has_picture = true;
        // The picture's shape as it is meant to be seen (non-square pixels widen it).
        int32_t width = GST_VIDEO_INFO_WIDTH(&info);
        int32_t height = GST_VIDEO_INFO_HEIGHT(&info);
        int32_t par_n = GST_VIDEO_INFO_PAR_N(&info), par_d = GST_VIDEO_INFO_PAR_D(&info);
        if (par_n > 0 && par_d > 0 && par_n != par_d) {
          width = static_cast<int32_t>(static_cast<int64_t>(width) * par_n / par_d);
        }
        p.width = width > 0 ? width : GST_VIDEO_INFO_WIDTH(&info);
        p.height = height;
      }
      if (current) gst_caps_unref(current);
      if (pad) gst_object_unref(pad);
    }
    p.query_length();
    return player;
  }

  Player* find(VideoPlayerHandle handle) {
    return handle && handle == current_.get() ? current_.get() : nullptr;
  }

  bool tried_init_ = false;
  bool ready_ = false;
  std::unique_ptr<Player> current_;
};

}  // namespace

template <>
VideoPlayerService& real_service<VideoPlayerService>() {
  static auto* player = new GstVideoPlayer();
  return *player;
}

}  // namespace qrn
