#include "cINI.h"

#include "IniFile.h"
#include "PosixFile.h"
#include "SystemRoutines.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {
// Values are read into a buffer of 50 characters, so at most 49 come back.
constexpr std::size_t kReadBuffer = 50;
// Linux has no system folder as such; /etc is where system-wide
// settings live. No part of the program locates a file there.
constexpr const char *kSystemFolder = "/etc";
} // namespace

bool cINI::Delete() {
  if (!Exists())
    return false;
  return ::unlink(mFullPath.c_str()) == 0;
}

bool cINI::Exists() const {
  return !mFullPath.empty() && FileExists(mFullPath);
}

std::string cINI::FullPath() const {
  return mFullPath;
}

void cINI::FullPath(const std::string &vData) {
  if (vData.empty()) {
    mFullPath.clear();
    mFilePath.clear();
    mFileName.clear();
    return;
  }
  bool e = FileExists(vData);
  mFilePath = PathPart(vData);
  mFileName = FileNamePart(vData);
  mFullPath = vData;
  if (!e)
    FullPathResolve();
}

std::int32_t cINI::Command() const {
  return mCommand;
}

bool cINI::Command(std::int32_t iCommand) {
  if (iCommand < std::numeric_limits<std::int16_t>::min() ||
      iCommand > std::numeric_limits<std::int16_t>::max())
    return false;
  mCommand = static_cast<std::int16_t>(iCommand);
  return true;
}

std::string cINI::FilePath() const {
  return mFilePath;
}

void cINI::FilePath(const std::string &vData) {
  mFilePath = vData;
  if (mFileName.empty()) {
    mFullPath.clear();
    return;
  }
  if (mCommand == INICommandFilePath && !FileExists(mFilePath + "/" + mFileName)) {
    mFullPath = mFilePath + "/" + mFileName;
    FileCreate(mFullPath);
  }
}

std::string cINI::FileName() const {
  return mFileName;
}

void cINI::FileName(const std::string &vData) {
  mFileName = vData;
  FullPathResolve();
}

std::string cINI::Data() const {
  if (!Exists() || mItem.empty() || mSection.empty())
    return {};
  return INIRead(mFullPath, mSection, mItem);
}

void cINI::Data(const std::string &ItemData) {
  (void)DataWrite(ItemData);
}

std::string cINI::Section() const {
  return mSection;
}
void cINI::Section(const std::string &sData) {
  mSection = sData;
}
std::string cINI::Item() const {
  return mItem;
}
void cINI::Item(const std::string &sData) {
  mItem = sData;
}

std::string cINI::INIRead(const std::string &sIniPath, const std::string &sSection,
                          const std::string &sItem) const {
  std::string value = NullTrim(IniReadValue(sIniPath, sSection, sItem));
  if (value.size() > kReadBuffer - 1)
    value.resize(kReadBuffer - 1);
  return value;
}

std::int16_t cINI::INIWrite(const std::string &sIniPath, const std::string &sSection,
                            const std::string &sItem, const std::string &sData) const {
  if (sData.empty()) {
    mLastWriteError = "an empty value is never written";
    return 0;
  }
  IniResult r = IniWriteValue(sIniPath, sSection, sItem, sData);
  mLastWriteError = r.ok ? std::string() : r.error;
  return r.ok ? -1 : 0;
}

std::string cINI::DataRetrieve(const std::string &IniItem, const std::string &vDefaultValue) {
  mItem = IniItem;
  std::string value = Data();
  return value.empty() ? vDefaultValue : value;
}

bool cINI::DataSave(const std::string &IniItem, const std::string &ItemData) {
  mItem = IniItem;
  return DataWrite(ItemData);
}

bool cINI::DataSave(const std::vector<std::pair<std::string, std::string>> &items) {
  std::vector<IniEntry> entries;
  for (const auto &[item, value] : items)
    entries.push_back({mSection, item, value});
  return DataSave(entries);
}

bool cINI::DataSave(const std::vector<IniEntry> &entries) {
  if (!Exists()) {
    mLastWriteError = mFullPath.empty() ? "no settings file" : mFullPath + ": the file is gone";
    return false;
  }
  if (entries.empty()) {
    mLastWriteError = "no section or entry named";
    return false;
  }
  for (const auto &[section, item, value] : entries) {
    if (section.empty() || item.empty()) {
      mLastWriteError = "no section or entry named";
      return false;
    }
    if (value.empty()) {
      mLastWriteError = "an empty value is never written";
      return false;
    }
  }
  IniResult r = IniWriteValues(mFullPath, entries);
  mLastWriteError = r.ok ? std::string() : r.error;
  return r.ok;
}

std::string cINI::LastWriteError() const {
  return mLastWriteError;
}

bool cINI::FileExists(const std::string &path) const {
  return kestrel::FileExists(path);
}

void cINI::FileCreate(const std::string &path) {
  if (FileExists(path))
    return;
  auto create = [&] {
    // Whatever the umask, no other user may write the file that names the
    // devices this program opens.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0)
      return errno;
    ::close(fd);
    return 0;
  };
  if (create() == ENOENT) {
    std::string folder = PathPart(path);
    if (!folder.empty() && ::mkdir(folder.c_str(), 0700) == 0)
      (void)create();
  }
}

std::string cINI::PathPart(const std::string &path) {
  return SplitPath(path).folder;
}

std::string cINI::FileNamePart(const std::string &path) {
  return SplitPath(path).name;
}

std::string cINI::NullTrim(const std::string &text) {
  std::size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

void cINI::FullPathResolve() {
  if (mFileName.empty()) {
    mFullPath.clear();
    return;
  }
  std::string folder;
  switch (mCommand) {
  case INICommandFilePath: {
    std::string candidate = mFilePath + "/" + mFileName;
    FileCreate(candidate);
    mFullPath = FileExists(candidate) ? candidate : std::string();
    return;
  }
  case INICommandAppPath:
    folder = ApplicationFolder();
    break;
  case INICommandSystemPath:
    folder = kSystemFolder;
    break;
  default:
    return;
  }
  if (folder.empty() || folder.back() != '/')
    folder += '/';
  std::string candidate = folder + mFileName;
  FileCreate(candidate);
  if (FileExists(candidate)) {
    mFilePath = folder.substr(0, folder.size() - 1);
    mFullPath = mFilePath + "/" + mFileName;
  } else {
    mFilePath.clear();
    mFullPath.clear();
  }
}

bool cINI::DataWrite(const std::string &value) {
  return DataSave(std::vector<std::pair<std::string, std::string>>{{mItem, value}});
}

} // namespace kestrel
