// Wave files for the wave-insert tag: finding a named file (as given, in the
// work directory or along PATH) and reading a RIFF "WAVE" file's PCM format
// and samples into a CWaveInsert. Also the file-location helpers that the
// allophone loader shares.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "Messages.h"
#include "Riff.h"
#include "Utterance.h"

namespace vokar {

// Why a wave file was not loaded: the message it calls for (kMsgWaveRead or
// kMsgBadSoundFile; kMsgFileOpen when the file could not be opened, which an
// insert does not show) and the reader's error.
struct WaveLoadFailure {
  MessageCode message;
  riff::Error error;
};

// Reads a wave file already in memory: RIFF "WAVE", a PCM "fmt ", then the
// first "data" chunk after it. A file without "data" is loaded with no
// samples; a "data" chunk that runs past the end of the file is a short read
// (kMsgWaveRead); a file that is not RIFF "WAVE", lacks "fmt " or is not PCM
// is kMsgBadSoundFile.
riff::Result<CWaveInsert, WaveLoadFailure> ReadWave(std::span<const std::uint8_t> file);

// Loads a wave file into the insert (which is emptied first). Returns false
// when it is not a regular file or cannot be opened (silently) or read (kMsgWaveRead shown through the
// sink) or is not a PCM wave file (kMsgBadSoundFile shown).
bool LoadWaveFile(const std::filesystem::path& path, CWaveInsert& insert, IMessageSink& messages);

// Finds and loads the file of a wave-insert tag; returns 0 when it was found
// and loaded, -1 otherwise. The name is in code page 1250 and already carries
// its extension.
// - A name holding '\', ':' or '/' is a path and is used as it stands, with
//   every '\' turned into '/', the separator of this system. If it cannot be
//   opened the insert is not found; nothing else is searched (so a name with
//   a drive letter is never found).
// - Only regular files are candidates: a FIFO or a device is not found, and
//   is never opened, so that it cannot hold up the scanner.
// - Any other name is tried in workDir (the current directory when workDir is
//   empty), then in each directory of PATH.
// A file that is found but fails to load gives -1; the search does not go on.
int FindAndLoadInsert(std::string_view cp1250Name, const std::filesystem::path& workDir,
                      CWaveInsert& insert, IMessageSink& messages);

// True when path names a regular file that can be opened for reading; a FIFO,
// a device or a folder is never opened.
bool OpensForReading(const std::filesystem::path& path);

// The directories of the PATH environment variable in order; empty entries
// are left out.
std::vector<std::filesystem::path> PathDirectories();

}  // namespace vokar
