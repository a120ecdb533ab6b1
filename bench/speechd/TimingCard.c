/* A sound card for timing speech, as an ALSA I/O plugin: it plays in real
 * time (the position follows the monotonic clock from the moment the stream
 * starts) and, when a stream stops, writes to its log one line for every
 * stretch of sound it played:
 *   sound FIRST_NS LAST_NS
 * the moments its first and last audible frame sounded (CLOCK_MONOTONIC,
 * nanoseconds). A stretch goes on across silences shorter than 20 ms. A
 * frame is audible when a sample of it is more than `threshold` (in 8-bit
 * steps, default 3) away from silence; frames given to the card but dropped
 * before they sounded do not count.
 * Configuration:
 *   pcm.!default { type vokartiming; log "FILE"; threshold N }
 */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

typedef struct {
  snd_pcm_ioplug_t io;
  int timer_fd;
  FILE *log;
  long threshold;
  uint64_t received;  /* frames given to the card since prepare */
  int64_t *runs;      /* first and last frame of each stretch of sound */
  size_t run_count, run_capacity;
  int64_t started_ns;
  int running;
} timing_card;

static int64_t now_ns(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (int64_t)now.tv_sec * 1000000000LL + now.tv_nsec;
}

static uint64_t position(const timing_card *card) {
  if (!card->running) return 0;
  int64_t nanos = now_ns() - card->started_ns;
  if (nanos < 0) nanos = 0;
  return (uint64_t)nanos * card->io.rate / 1000000000ULL;
}

static int64_t frame_ns(const timing_card *card, int64_t frame) {
  return card->started_ns + frame * 1000000000LL / (int64_t)card->io.rate;
}

/* Writes the stretches that sounded up to now and forgets them. */
static void report(timing_card *card) {
  if (card->running && card->log) {
    uint64_t played = position(card);
    if (played > card->received) played = card->received;
    for (size_t r = 0; r < card->run_count; ++r) {
      int64_t first = card->runs[2 * r], last = card->runs[2 * r + 1];
      if (first >= (int64_t)played) break;
      if (last >= (int64_t)played) last = (int64_t)played - 1;
      fprintf(card->log, "sound %lld %lld\n", (long long)frame_ns(card, first), (long long)frame_ns(card, last));
    }
    fflush(card->log);
  }
  card->run_count = 0;
}

static void arm_timer(timing_card *card, int on) {
  struct itimerspec timer;
  memset(&timer, 0, sizeof timer);
  if (on && card->io.rate > 0) {
    /* A tick every period, but at least every 5 ms: a player with long
     * periods (speech-dispatcher's own output) waiting to drain hears the
     * end of its sound when it comes, not a period later. */
    uint64_t nanos = (uint64_t)card->io.period_size * 1000000000ULL / card->io.rate;
    if (nanos == 0 || nanos > 5000000) nanos = 5000000;
    timer.it_interval.tv_sec = (time_t)(nanos / 1000000000ULL);
    timer.it_interval.tv_nsec = (long)(nanos % 1000000000ULL);
    timer.it_value = timer.it_interval;
  }
  timerfd_settime(card->timer_fd, 0, &timer, NULL);
}

static int card_start(snd_pcm_ioplug_t *io) {
  timing_card *card = io->private_data;
  card->started_ns = now_ns();
  card->running = 1;
  return 0;
}

static int card_stop(snd_pcm_ioplug_t *io) {
  timing_card *card = io->private_data;
  report(card);
  card->running = 0;
  return 0;
}

static snd_pcm_sframes_t card_pointer(snd_pcm_ioplug_t *io) {
  timing_card *card = io->private_data;
  uint64_t pos = position(card);
  if (card->running && pos > card->received) return -EPIPE;
  return (snd_pcm_sframes_t)(pos % io->buffer_size);
}

static int audible(const timing_card *card, const unsigned char *frame, size_t frame_bytes) {
  if (card->io.format == SND_PCM_FORMAT_U8) {
    for (size_t i = 0; i < frame_bytes; ++i)
      if (abs((int)frame[i] - 128) > card->threshold) return 1;
    return 0;
  }
  for (size_t i = 0; i + 1 < frame_bytes; i += 2) {
    int16_t sample = (int16_t)(frame[i] | (frame[i + 1] << 8));
    if (abs((int)sample) > card->threshold * 256) return 1;
  }
  return 0;
}

static snd_pcm_sframes_t card_transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
                                       snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  timing_card *card = io->private_data;
  size_t frame_bytes = (size_t)snd_pcm_format_physical_width(io->format) / 8 * io->channels;
  const unsigned char *bytes = (const unsigned char *)areas[0].addr + (areas[0].first + areas[0].step * offset) / 8;
  const int64_t bridge = (int64_t)io->rate / 50; /* 20 ms */
  for (snd_pcm_uframes_t i = 0; i < size; ++i) {
    if (!audible(card, bytes + i * frame_bytes, frame_bytes)) continue;
    int64_t index = (int64_t)(card->received + i);
    if (card->run_count > 0 && index - card->runs[2 * card->run_count - 1] <= bridge) {
      card->runs[2 * card->run_count - 1] = index;
      continue;
    }
    if (card->run_count == card->run_capacity) {
      size_t capacity = card->run_capacity ? 2 * card->run_capacity : 64;
      int64_t *runs = realloc(card->runs, capacity * 2 * sizeof *runs);
      if (!runs) continue;
      card->runs = runs;
      card->run_capacity = capacity;
    }
    card->runs[2 * card->run_count] = card->runs[2 * card->run_count + 1] = index;
    ++card->run_count;
  }
  card->received += size;
  return (snd_pcm_sframes_t)size;
}

static int card_prepare(snd_pcm_ioplug_t *io) {
  timing_card *card = io->private_data;
  if (card->running) report(card);
  card->received = 0;
  card->run_count = 0;
  card->running = 0;
  arm_timer(card, 1);
  return 0;
}

/* Room for a period, or a stream not yet started, wakes the writer;
 * players that look at the descriptors more than once per tick of the timer
 * see the same answer each time. */
static int card_poll_revents(snd_pcm_ioplug_t *io, struct pollfd *pfd, unsigned int nfds,
                             unsigned short *revents) {
  timing_card *card = io->private_data;
  uint64_t ticks;
  (void)nfds;
  (void)pfd;
  if (read(card->timer_fd, &ticks, sizeof ticks) < 0) ticks = 0;
  uint64_t played = position(card);
  if (played > card->received) played = card->received;
  uint64_t queued = card->received - played;
  *revents = !card->running || queued + io->period_size <= io->buffer_size ? POLLOUT : 0;
  return 0;
}

static int card_close(snd_pcm_ioplug_t *io) {
  timing_card *card = io->private_data;
  report(card);
  if (card->log) fclose(card->log);
  close(card->timer_fd);
  free(card->runs);
  free(card);
  return 0;
}

static const snd_pcm_ioplug_callback_t callbacks = {
    .start = card_start,
    .stop = card_stop,
    .pointer = card_pointer,
    .transfer = card_transfer,
    .close = card_close,
    .prepare = card_prepare,
    .poll_revents = card_poll_revents,
};

SND_PCM_PLUGIN_DEFINE_FUNC(vokartiming) {
  snd_config_iterator_t i, next;
  const char *log = NULL;
  long threshold = 3;
  int err;
  timing_card *card;
  (void)root;

  if (stream != SND_PCM_STREAM_PLAYBACK) return -EINVAL;
  snd_config_for_each(i, next, conf) {
    snd_config_t *node = snd_config_iterator_entry(i);
    const char *id;
    if (snd_config_get_id(node, &id) < 0) continue;
    if (!strcmp(id, "comment") || !strcmp(id, "type") || !strcmp(id, "hint")) continue;
    if (!strcmp(id, "log")) {
      if (snd_config_get_string(node, &log) < 0) return -EINVAL;
    } else if (!strcmp(id, "threshold")) {
      if (snd_config_get_integer(node, &threshold) < 0) return -EINVAL;
    } else {
      SNDERR("unknown field %s", id);
      return -EINVAL;
    }
  }

  card = calloc(1, sizeof *card);
  if (!card) return -ENOMEM;
  card->threshold = threshold;
  card->timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (log) card->log = fopen(log, "a");
  if (card->timer_fd < 0 || (log && !card->log)) {
    err = -errno;
    if (card->log) fclose(card->log);
    if (card->timer_fd >= 0) close(card->timer_fd);
    free(card);
    return err;
  }

  card->io.version = SND_PCM_IOPLUG_VERSION;
  card->io.name = "Vokar timing card";
  card->io.callback = &callbacks;
  card->io.private_data = card;
  card->io.poll_fd = card->timer_fd;
  card->io.poll_events = POLLIN;
  err = snd_pcm_ioplug_create(&card->io, name, stream, mode);
  if (err < 0) {
    card_close(&card->io);
    return err;
  }

  {
    static const unsigned int access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE};
    if ((err = snd_pcm_ioplug_set_param_list(&card->io, SND_PCM_IOPLUG_HW_ACCESS, 1, access)) < 0 ||
        (err = snd_pcm_ioplug_set_param_list(&card->io, SND_PCM_IOPLUG_HW_FORMAT, 2, formats)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_RATE, 4000, 192000)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 64 * 1024)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0) {
      snd_pcm_ioplug_delete(&card->io);
      return err;
    }
  }
  *pcmp = card->io.pcm;
  return 0;
}

SND_PCM_PLUGIN_SYMBOL(vokartiming)
