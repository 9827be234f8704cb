// The commands over a desktop root: its settings file and the device connected to it.
#pragma once

#include <string>
#include <vector>

#include "tools/cli/cli.h"

namespace quillet::cli {

// `settings get [KEY]` and `settings set KEY VALUE`: the desktop companion's settings, read and
// written by the same code as the options sheet and the desktop run.
int RunSettings(CliEnv& env, const std::vector<std::string>& args);
// `device connect|disconnect|show`: which device root (--device-root) the desktop root's remote
// API reaches.
int RunDevice(CliEnv& env, const std::vector<std::string>& args);
// `sync [--yes|--no]`: one whole desktop update run against the connected device root.
int RunSync(CliEnv& env, const std::vector<std::string>& args);
// `export [--scheduled]` and `backup [--scheduled]`: the CSV export and the dated backup of the
// connected device's data, now or only when their schedule says so.
int RunExportCommand(CliEnv& env, const std::vector<std::string>& args);
int RunBackupCommand(CliEnv& env, const std::vector<std::string>& args);
// `backups`: the dates of the backup sets, one a line.
int RunBackups(CliEnv& env, const std::vector<std::string>& args);
// `import FILE [--format standard|export]` and `restore YYYYMMDD`: asked for the next sync.
int RunImportCommand(CliEnv& env, const std::vector<std::string>& args);
int RunRestoreCommand(CliEnv& env, const std::vector<std::string>& args);

}  // namespace quillet::cli
