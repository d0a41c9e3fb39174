// One entry of one section of one INI file, and where that file lives.
//
// An object stands for a file (FullPath), a section in it (Section) and an
// entry of that section (Item); reading Data returns the entry's value and
// assigning Data writes it. Command chooses the folder that FileName is placed
// in; assigning FileName finds the file there and creates it, empty, when it
// is missing. Nothing is cached: every read and write goes to the file.
// A value reads back as at most its first 49 characters, and only up to a NUL
// it may hold.
//
// On Linux "/" separates folders and there are no drive prefixes; the
// system folder (Command 2) is /etc.
//
// Contract: no operation throws or shows a message. A missing file, section or
// entry reads as the empty text; a write reports whether it really reached the
// file, and a failed write leaves the file as it was.
#pragma once

#include "IniFile.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrel {

class cINI {
public:
  static constexpr std::int16_t INICommandNone = 0;
  static constexpr std::int16_t INICommandAppPath = 1;
  static constexpr std::int16_t INICommandSystemPath = 2;
  static constexpr std::int16_t INICommandFilePath = 3;

  bool Delete();
  bool Exists() const;

  std::string FullPath() const;
  void FullPath(const std::string &vData);
  std::int32_t Command() const;
  // False (and nothing stored) for a value outside the 16-bit range.
  bool Command(std::int32_t iCommand);
  std::string FilePath() const;
  void FilePath(const std::string &vData);
  std::string FileName() const;
  void FileName(const std::string &vData);
  std::string Data() const;
  void Data(const std::string &ItemData);
  std::string Section() const;
  void Section(const std::string &sData);
  std::string Item() const;
  void Item(const std::string &sData);

  std::string INIRead(const std::string &sIniPath, const std::string &sSection,
                      const std::string &sItem) const;
  // -1 when the value was written, 0 when it was not.
  std::int16_t INIWrite(const std::string &sIniPath, const std::string &sSection,
                        const std::string &sItem, const std::string &sData) const;
  std::string DataRetrieve(const std::string &IniItem, const std::string &vDefaultValue);
  bool DataSave(const std::string &IniItem, const std::string &ItemData);
  // Saves several entries of Section at once, all or none; Item is left as
  // it was. False, with nothing written, when any value is empty.
  bool DataSave(const std::vector<std::pair<std::string, std::string>> &items);
  // The same for entries that each name their section.
  bool DataSave(const std::vector<IniEntry> &entries);

  // The system's words for the last write that failed, empty after a success.
  std::string LastWriteError() const;

private:
  bool FileExists(const std::string &path) const;
  void FileCreate(const std::string &path);
  static std::string PathPart(const std::string &path);
  static std::string FileNamePart(const std::string &path);
  static std::string NullTrim(const std::string &text);
  void FullPathResolve();
  bool DataWrite(const std::string &value);

  std::string mFileName;
  std::string mFilePath;
  std::string mFullPath;
  std::int16_t mCommand = INICommandNone;
  std::string mSection;
  std::string mItem;
  mutable std::string mLastWriteError;
};

} // namespace kestrel
