"""How much audible sound the wav: device wrote: the WAV files' own header
says how to read them (8-bit unsigned or 16-bit signed samples, one or two
channels, the rate), and the sound is measured in windows of 10 ms.

A window is audible when one of its samples reaches 1/32 of full scale
(-30 dB): 4 steps from the middle in 8 bits, 1024 in 16 bits. Silence, and
the one-step noise of a voice's 8-bit samples, never reach it; a spoken vowel
reaches it many times over.
"""

import array
import glob
import os
import sys
import wave

WINDOW_SECONDS = 0.01
AUDIBLE_FRACTION = 1 / 32


def samples_of(width, frames):
    """The samples of raw frames as signed numbers, and the full scale."""
    if width == 1:
        return [b - 128 for b in frames], 128
    if width == 2:
        values = array.array("h")
        values.frombytes(frames[:len(frames) - len(frames) % 2])
        if sys.byteorder == "big":
            values.byteswap()
        return values, 32768
    raise ValueError("%d-bit samples are not read here" % (8 * width))


def audible_seconds_of(path):
    """Seconds of audible sound in one WAV file; 0 for a file that is still
    too short to hold a header (the device may be writing it right now)."""
    try:
        with wave.open(path, "rb") as wav:
            width, channels, rate = wav.getsampwidth(), wav.getnchannels(), wav.getframerate()
            frames = wav.readframes(wav.getnframes())
    except (wave.Error, EOFError, OSError):
        return 0.0
    if rate <= 0 or channels <= 0:
        return 0.0
    samples, full = samples_of(width, frames)
    threshold = full * AUDIBLE_FRACTION
    window = max(1, int(rate * WINDOW_SECONDS)) * channels
    audible = 0
    for start in range(0, len(samples) - len(samples) % channels, window):
        part = samples[start:start + window]
        if max(part) >= threshold or -min(part) >= threshold:
            audible += len(part) // channels
    return audible / rate


def audible_seconds(folder):
    """Seconds of audible sound in all the WAV files of the wav: device
    (speech.wav, speech-2.wav ... at each change of format)."""
    return sum(audible_seconds_of(path) for path in sorted(glob.glob(os.path.join(folder, "speech*.wav"))))
