/* Records a PipeWire sink's monitor and dates every buffer by the graph's own clock.

   Usage: pw_monitor_record SINK SAMPLES CYCLES
   SAMPLES gets the monitor as raw s16le stereo at 44100 Hz (what the harness asks parec for);
   CYCLES gets one text line per buffer:
     first_frame frames nsec position duration rate_diff arrival_ns
   first_frame: the buffer's first frame in SAMPLES; nsec, position, duration, rate_diff: the
   driver's clock as the callback read it (nsec on CLOCK_MONOTONIC), the clock of the cycle that
   filled the buffer unless the callback ran late; arrival_ns: when the callback ran, on the same
   clock.

   Why a cycle's nsec dates its buffer's first frame: the monitor port belongs to the sink's own
   node, so in each cycle it carries exactly what the sink consumed in that cycle, and this
   stream, linked after it, gets that buffer in the same cycle (one buffer of `duration` frames
   per cycle, the position moving by exactly that much). The graph's driver wakes on a timer at
   nsec, and what the sink consumes in that cycle leaves it from that moment, nsec + k / rate for
   frame k. pipewire-pulse hands the same data on to a PulseAudio client in whole quanta after the
   cycle, so dated by its reads every sample seems to leave a quantum early. The harness checks
   the claim on every recording: no buffer may arrive before its date.

   Runs until SIGINT or SIGTERM, or until the server goes (a killed server ends the recording;
   the harness starts a new recorder on the new server). Errors: one line on standard error,
   exit status 1. */

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <pipewire/pipewire.h>
#include <spa/node/io.h>
#include <spa/param/audio/format-utils.h>
#include <spa/utils/result.h>

#define RATE 44100
#define CHANNELS 2
#define FRAME_BYTES (CHANNELS * 2)

struct recorder {
  struct pw_main_loop* loop;
  struct pw_context* context;
  struct pw_core* core;
  struct spa_hook core_listener;
  struct pw_stream* stream;
  struct spa_hook listener;
  struct spa_io_position* position;
  FILE* samples;
  FILE* cycles;
  uint64_t frames;
  int failed;
  int streamed;
};

static void stop(void* data, int signal_number) {
  struct recorder* recorder = data;
  (void)signal_number;
  pw_main_loop_quit(recorder->loop);
}

static void on_io_changed(void* data, uint32_t id, void* area, uint32_t size) {
  struct recorder* recorder = data;
  (void)size;
  if (id == SPA_IO_Position) recorder->position = area;
}

/* Runs on the graph's data thread (PW_STREAM_FLAG_RT_PROCESS), so that the clock read is as
   near as it gets to the cycle that filled the buffers. It is not always that cycle's: a callback
   run late (a busy machine) finds several buffers queued, and one run late enough reads the next
   cycle's clock; every buffer gets the clock as read, and the harness works out each buffer's own
   cycle from the positions (sound_lab.date_buffers). The writes only copy into the files' large
   stdio buffers; the kernel takes a whole buffer at a time. */
static void on_process(void* data) {
  struct recorder* recorder = data;
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const struct spa_io_position* p = recorder->position;
  struct pw_buffer* buffer;
  while ((buffer = pw_stream_dequeue_buffer(recorder->stream)) != NULL) {
    struct spa_data* d = &buffer->buffer->datas[0];
    if (d->data != NULL && d->chunk != NULL && p != NULL) {
      uint32_t offset = SPA_MIN(d->chunk->offset, d->maxsize);
      uint32_t size = SPA_MIN(d->chunk->size, d->maxsize - offset);
      uint32_t frames = size / FRAME_BYTES;
      if (frames > 0) {
        fwrite(SPA_PTROFF(d->data, offset, void), FRAME_BYTES, frames, recorder->samples);
        fprintf(recorder->cycles, "%llu %u %llu %llu %llu %.9f %lld\n",
                (unsigned long long)recorder->frames, frames, (unsigned long long)p->clock.nsec,
                (unsigned long long)p->clock.position, (unsigned long long)p->clock.duration,
                p->clock.rate_diff, (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
        recorder->frames += frames;
      }
    }
    pw_stream_queue_buffer(recorder->stream, buffer);
  }
}

static void on_state_changed(void* data, enum pw_stream_state old, enum pw_stream_state state,
                             const char* error) {
  struct recorder* recorder = data;
  (void)old;
  if (state == PW_STREAM_STATE_STREAMING) recorder->streamed = 1;
  if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
    /* A server that went after the recording ran is the end of the recording, not a failure. */
    if (!recorder->streamed) {
      fprintf(stderr, "pw_monitor_record: the stream failed: %s\n", error ? error : "unconnected");
      recorder->failed = 1;
    }
    pw_main_loop_quit(recorder->loop);
  }
}

/* The server going (killed, or a restart) ends the recording as a disconnected stream does. */
static void on_core_error(void* data, uint32_t id, int seq, int res, const char* message) {
  struct recorder* recorder = data;
  (void)seq;
  if (id != PW_ID_CORE) return;
  if (res != -EPIPE && !recorder->streamed) {
    fprintf(stderr, "pw_monitor_record: PipeWire: %s\n", message ? message : spa_strerror(res));
    recorder->failed = 1;
  }
  pw_main_loop_quit(recorder->loop);
}

static const struct pw_core_events core_events = {
    PW_VERSION_CORE_EVENTS,
    .error = on_core_error,
};

static const struct pw_stream_events stream_events = {
    PW_VERSION_STREAM_EVENTS,
    .state_changed = on_state_changed,
    .io_changed = on_io_changed,
    .process = on_process,
};

static FILE* open_output(const char* path) {
  FILE* file = fopen(path, "wb");
  if (file == NULL)
    fprintf(stderr, "pw_monitor_record: cannot write %s: %s\n", path, strerror(errno));
  else
    setvbuf(file, NULL, _IOFBF, 1 << 20);
  return file;
}

static int record(struct recorder* recorder, const char* sink) {
  recorder->loop = pw_main_loop_new(NULL);
  if (recorder->loop == NULL) {
    fprintf(stderr, "pw_monitor_record: cannot make a main loop\n");
    return 1;
  }
  struct pw_loop* loop = pw_main_loop_get_loop(recorder->loop);
  pw_loop_add_signal(loop, SIGINT, stop, recorder);
  pw_loop_add_signal(loop, SIGTERM, stop, recorder);
  /* What parec is given in the harness: the sink's monitor, never moved elsewhere by the session
     manager (it moves recordings to a new default sink's monitor unless they ask to stay), and
     a 2048-frame latency so that the recorder does not change the quantum the demo gets. */
  struct pw_properties* props = pw_properties_new(
      PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Production",
      PW_KEY_NODE_NAME, "pw_monitor_record", PW_KEY_TARGET_OBJECT, sink, PW_KEY_STREAM_CAPTURE_SINK,
      "true", PW_KEY_NODE_DONT_RECONNECT, "true", PW_KEY_NODE_LATENCY, "2048/44100", NULL);
  /* The real-time client configuration, so that the data thread runs at the priority a desktop
     grants audio clients: at ordinary priority a busy machine delays the callback past the next
     cycle and the graph drops the recorder's buffers. */
  recorder->context =
      pw_context_new(loop, pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", NULL), 0);
  if (recorder->context != NULL) recorder->core = pw_context_connect(recorder->context, NULL, 0);
  if (recorder->core == NULL) {
    fprintf(stderr, "pw_monitor_record: cannot connect to PipeWire: %s\n", strerror(errno));
    pw_properties_free(props);
    return 1;
  }
  pw_core_add_listener(recorder->core, &recorder->core_listener, &core_events, recorder);
  recorder->stream = pw_stream_new(recorder->core, "pw_monitor_record", props);
  if (recorder->stream == NULL) {
    fprintf(stderr, "pw_monitor_record: cannot make a stream: %s\n", strerror(errno));
    return 1;
  }
  pw_stream_add_listener(recorder->stream, &recorder->listener, &stream_events, recorder);
  uint8_t pod[1024];
  struct spa_pod_builder builder = SPA_POD_BUILDER_INIT(pod, sizeof(pod));
  struct spa_audio_info_raw info = {.format = SPA_AUDIO_FORMAT_S16_LE,
                                    .rate = RATE,
                                    .channels = CHANNELS,
                                    .position = {SPA_AUDIO_CHANNEL_FL, SPA_AUDIO_CHANNEL_FR}};
  const struct spa_pod* params[1] = {
      spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
  int result = pw_stream_connect(recorder->stream, PW_DIRECTION_INPUT, PW_ID_ANY,
                                 PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                     PW_STREAM_FLAG_RT_PROCESS | PW_STREAM_FLAG_DONT_RECONNECT,
                                 params, 1);
  if (result < 0) {
    fprintf(stderr, "pw_monitor_record: cannot record %s: %s\n", sink, strerror(-result));
    return 1;
  }
  pw_main_loop_run(recorder->loop);
  return recorder->failed;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: pw_monitor_record SINK SAMPLES CYCLES\n");
    return 1;
  }
  struct recorder recorder = {0};
  recorder.samples = open_output(argv[2]);
  recorder.cycles = open_output(argv[3]);
  int status = 1;
  if (recorder.samples != NULL && recorder.cycles != NULL) {
    pw_init(&argc, &argv);
    status = record(&recorder, argv[1]);
    if (recorder.stream != NULL) pw_stream_destroy(recorder.stream);
    if (recorder.core != NULL) pw_core_disconnect(recorder.core);
    if (recorder.context != NULL) pw_context_destroy(recorder.context);
    if (recorder.loop != NULL) pw_main_loop_destroy(recorder.loop);
    pw_deinit();
  }
  /* The files are closed after the stream, so that no process callback writes into a closed
     file. */
  if (recorder.samples != NULL && fclose(recorder.samples) != 0) status = 1;
  if (recorder.cycles != NULL && fclose(recorder.cycles) != 0) status = 1;
  return status;
}
