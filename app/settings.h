// The tuning settings file: section GENERAL, keys LIB DIB DTI LCI QMI TMO.
#pragma once

#include <map>
#include <string>

// The values in reading order: LIB, DIB, DTI, LCI, QMI, TMO.
struct TuningSettings {
    int value[6];
};
extern const char* const kTuningSettingKeys[6];
extern const char* const kTuningSettingDefaults[6];

// Sections and keys of an INI text, names upper-cased; the first
// occurrence of a section or key wins.
using IniSections = std::map<std::string, std::map<std::string, std::string>>;
IniSections parseIni(const std::string& text);

// Reads the settings from the file into `values`, key by key in reading
// order. A missing file keeps the values and succeeds. A value that is not
// an integer stops the reading with false: the keys before it keep their
// new values, that key and the later ones keep what `values` held. An
// existing file that cannot be read also gives false.
bool readTuningSettingsFile(const std::string& path, TuningSettings& values);

// The folder of the automatic end-of-line logs: key LOGDIR of section EOL,
// "" when the file, the section or the key is missing (the caller then
// uses the working directory).
std::string readEolLogDir(const std::string& path);
