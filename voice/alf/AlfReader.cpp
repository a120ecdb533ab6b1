#include <cstring>

#include "AlfFile.h"
#include "Riff.h"

namespace vokar::alf {
namespace {

AlfError FromRiff(const riff::Error& error, const std::string& file, const std::string& context) {
  return MakeError(ErrorKind::AlfFile, file, error.offset,
                   context.empty() ? error.description : context + ": " + error.description);
}

}  // namespace

Result<AlfFile> ParseAlf(std::span<const std::uint8_t> bytes, const std::string& fileName) {
  auto form = riff::OpenPcmForm(bytes, riff::FourCC("ALOF"));
  if (!form) return FromRiff(form.GetError(), fileName, "not an allophone file");
  AlfFile file;
  file.format = form->format;
  riff::CFormReader& reader = form->reader;

  auto ver = reader.FindChunk(riff::FourCC("VER "));
  if (!ver) return FromRiff(ver.GetError(), fileName, "no \"VER \" chunk");
  if (ver->declaredSize < 8 || ver->declaredSize > kVersionChunkMax) {
    return MakeError(ErrorKind::AlfFile, fileName, ver->headerOffset,
                     "\"VER \" chunk of " + std::to_string(ver->declaredSize) +
                         " bytes; it holds 8 to 40");
  }
  auto verData = reader.Data(*ver);
  if (!verData) return FromRiff(verData.GetError(), fileName, "\"VER \" chunk");
  for (std::size_t w = 0; w < 4; ++w) {
    if (riff::ReadU16(*verData, 2 * w) != kVersionWords[w]) {
      return MakeError(ErrorKind::AlfFile, fileName, ver->dataOffset + 2 * w,
                       "version words are not 1, 1, 2, 3");
    }
  }
  for (std::size_t i = 8; i < verData->size() && (*verData)[i] != 0; ++i) {
    file.versionText.push_back(static_cast<char>((*verData)[i]));
  }

  for (;;) {
    auto data = reader.FindChunk(riff::FourCC("data"));
    if (!data) {
      if (data.GetError().category == riff::ErrorCategory::ChunkNotFound) break;
      return FromRiff(data.GetError(), fileName, "\"data\" chunk");
    }
    auto samples = reader.Data(*data);
    if (!samples) return FromRiff(samples.GetError(), fileName, "\"data\" chunk");
    auto info = reader.FindChunk(riff::FourCC("info"));
    if (!info) {
      return FromRiff(info.GetError(), fileName,
                      "no \"info\" chunk after the \"data\" chunk at byte " +
                          std::to_string(data->headerOffset));
    }
    if (info->declaredSize != kInfoBytes) {
      return MakeError(ErrorKind::AlfFile, fileName, info->headerOffset,
                       "\"info\" chunk of " + std::to_string(info->declaredSize) +
                           " bytes; it holds 12");
    }
    auto infoData = reader.Data(*info);
    if (!infoData) return FromRiff(infoData.GetError(), fileName, "\"info\" chunk");
    AlfEntry entry;
    for (std::size_t i = 0; i < kNameBytes && (*infoData)[i] != 0; ++i) {
      entry.name.push_back(static_cast<char>((*infoData)[i]));
    }
    entry.index = riff::ReadU16(*infoData, 8);
    entry.classBits = riff::ReadU16(*infoData, 10);
    entry.samples.assign(samples->begin(), samples->end());
    entry.fileOffset = data->headerOffset;
    file.entries.push_back(std::move(entry));
  }
  return file;
}

Result<AlfFile> ReadAlfFile(const std::filesystem::path& path) {
  auto bytes = riff::ReadFileBytes(path);
  if (!bytes) return FromRiff(bytes.GetError(), path.string(), "");
  return ParseAlf(*bytes, path.string());
}

}  // namespace vokar::alf
