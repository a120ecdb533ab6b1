/* A fake sound card for the tests of the ALSA path, as an ALSA I/O plugin.
 * It plays in real time (the position follows the clock from the moment it
 * starts, stands still while paused), appends every frame it is given to a
 * record file, refuses rates above a limit, and answers a second open with
 * -EBUSY while another holds its lock file. Configuration:
 *   pcm.card { type vokarfake; record "FILE"; lock "FILE"; maxrate N; pause BOOL; s16only BOOL }
 * A card with s16only takes 16-bit samples only, as much real hardware does.
 */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

typedef struct {
  snd_pcm_ioplug_t io;
  int timer_fd;
  int lock_fd;
  FILE *record;
  uint64_t received;   /* frames handed to the card since prepare */
  uint64_t played;     /* frames played when the clock last started or stopped */
  struct timespec started;
  int running;
} fake_card;

static uint64_t elapsed_frames(const fake_card *card) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  int64_t nanos = (int64_t)(now.tv_sec - card->started.tv_sec) * 1000000000LL + (now.tv_nsec - card->started.tv_nsec);
  if (nanos < 0) nanos = 0;
  return (uint64_t)nanos * card->io.rate / 1000000000ULL;
}

static uint64_t position(const fake_card *card) {
  uint64_t pos = card->played + (card->running ? elapsed_frames(card) : 0);
  return pos;
}

static void arm_timer(fake_card *card, int on) {
  struct itimerspec timer;
  memset(&timer, 0, sizeof timer);
  if (on && card->io.rate > 0) {
    uint64_t nanos = (uint64_t)card->io.period_size * 1000000000ULL / card->io.rate;
    if (nanos == 0) nanos = 1000000;
    timer.it_interval.tv_sec = (time_t)(nanos / 1000000000ULL);
    timer.it_interval.tv_nsec = (long)(nanos % 1000000000ULL);
    timer.it_value = timer.it_interval;
  }
  timerfd_settime(card->timer_fd, 0, &timer, NULL);
}

static int card_start(snd_pcm_ioplug_t *io) {
  fake_card *card = io->private_data;
  clock_gettime(CLOCK_MONOTONIC, &card->started);
  card->running = 1;
  return 0;
}

static int card_stop(snd_pcm_ioplug_t *io) {
  fake_card *card = io->private_data;
  uint64_t pos = position(card);
  card->played = pos < card->received ? pos : card->received;
  card->running = 0;
  return 0;
}

/* The position in the ring buffer; an underrun once the clock has passed the
 * last frame received, as a real card reports. */
static snd_pcm_sframes_t card_pointer(snd_pcm_ioplug_t *io) {
  fake_card *card = io->private_data;
  uint64_t pos = position(card);
  if (card->running && pos > card->received) return -EPIPE;
  return (snd_pcm_sframes_t)(pos % io->buffer_size);
}

static snd_pcm_sframes_t card_transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
                                       snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  fake_card *card = io->private_data;
  size_t frame_bytes = (size_t)snd_pcm_format_physical_width(io->format) / 8 * io->channels;
  const char *bytes = (const char *)areas[0].addr + (areas[0].first + areas[0].step * offset) / 8;
  if (card->record) {
    fwrite(bytes, frame_bytes, size, card->record);
    fflush(card->record);
  }
  card->received += size;
  return (snd_pcm_sframes_t)size;
}

static int card_prepare(snd_pcm_ioplug_t *io) {
  fake_card *card = io->private_data;
  card->received = 0;
  card->played = 0;
  card->running = 0;
  arm_timer(card, 1);
  return 0;
}

static int card_pause(snd_pcm_ioplug_t *io, int enable) {
  if (enable) return card_stop(io);
  return card_start(io);
}

static int card_poll_revents(snd_pcm_ioplug_t *io, struct pollfd *pfd, unsigned int nfds,
                             unsigned short *revents) {
  fake_card *card = io->private_data;
  uint64_t ticks;
  (void)nfds;
  if (pfd[0].revents & POLLIN) {
    if (read(card->timer_fd, &ticks, sizeof ticks) < 0) ticks = 0;
    *revents = POLLOUT;
  } else {
    *revents = 0;
  }
  return 0;
}

static int card_close(snd_pcm_ioplug_t *io) {
  fake_card *card = io->private_data;
  if (card->record) fclose(card->record);
  if (card->lock_fd >= 0) close(card->lock_fd);
  close(card->timer_fd);
  free(card);
  return 0;
}

static const snd_pcm_ioplug_callback_t with_pause = {
    .start = card_start,
    .stop = card_stop,
    .pointer = card_pointer,
    .transfer = card_transfer,
    .close = card_close,
    .prepare = card_prepare,
    .pause = card_pause,
    .poll_revents = card_poll_revents,
};

static const snd_pcm_ioplug_callback_t without_pause = {
    .start = card_start,
    .stop = card_stop,
    .pointer = card_pointer,
    .transfer = card_transfer,
    .close = card_close,
    .prepare = card_prepare,
    .poll_revents = card_poll_revents,
};

SND_PCM_PLUGIN_DEFINE_FUNC(vokarfake) {
  snd_config_iterator_t i, next;
  const char *record = NULL, *lock = NULL;
  long max_rate = 192000;
  int can_pause = 1;
  int s16_only = 0;
  int err;
  fake_card *card;
  (void)root;

  if (stream != SND_PCM_STREAM_PLAYBACK) return -EINVAL;
  snd_config_for_each(i, next, conf) {
    snd_config_t *node = snd_config_iterator_entry(i);
    const char *id;
    if (snd_config_get_id(node, &id) < 0) continue;
    if (!strcmp(id, "comment") || !strcmp(id, "type") || !strcmp(id, "hint")) continue;
    if (!strcmp(id, "record")) {
      if (snd_config_get_string(node, &record) < 0) return -EINVAL;
    } else if (!strcmp(id, "lock")) {
      if (snd_config_get_string(node, &lock) < 0) return -EINVAL;
    } else if (!strcmp(id, "maxrate")) {
      if (snd_config_get_integer(node, &max_rate) < 0) return -EINVAL;
    } else if (!strcmp(id, "s16only")) {
      if ((s16_only = snd_config_get_bool(node)) < 0) return -EINVAL;
    } else if (!strcmp(id, "pause")) {
      if ((can_pause = snd_config_get_bool(node)) < 0) return -EINVAL;
    } else {
      SNDERR("unknown field %s", id);
      return -EINVAL;
    }
  }

  card = calloc(1, sizeof *card);
  if (!card) return -ENOMEM;
  card->lock_fd = -1;
  if (lock) {
    card->lock_fd = open(lock, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (card->lock_fd < 0 || flock(card->lock_fd, LOCK_EX | LOCK_NB) < 0) {
      if (card->lock_fd >= 0) close(card->lock_fd);
      free(card);
      return -EBUSY;
    }
  }
  card->timer_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (record) card->record = fopen(record, "ab");
  if (card->timer_fd < 0 || (record && !card->record)) {
    err = -errno;
    if (card->record) fclose(card->record);
    if (card->timer_fd >= 0) close(card->timer_fd);
    if (card->lock_fd >= 0) close(card->lock_fd);
    free(card);
    return err;
  }

  card->io.version = SND_PCM_IOPLUG_VERSION;
  card->io.name = "Vokar fake card";
  card->io.callback = can_pause ? &with_pause : &without_pause;
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
        (err = snd_pcm_ioplug_set_param_list(&card->io, SND_PCM_IOPLUG_HW_FORMAT, s16_only ? 1 : 2,
                                              s16_only ? formats + 1 : formats)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_RATE, 4000, (unsigned)max_rate)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 64 * 1024)) < 0 ||
        (err = snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64)) < 0) {
      snd_pcm_ioplug_delete(&card->io);
      return err;
    }
  }
  *pcmp = card->io.pcm;
  return 0;
}

SND_PCM_PLUGIN_SYMBOL(vokarfake)
