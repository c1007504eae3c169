#pragma once

#include <QString>

namespace vardex::ui {
class Prompts;
}

// The program's own files asked for through the prompts seam: one place decides the
// filter list, which entry is preselected and the suffix added to a bare name, so the
// pages that save and load them cannot drift apart.
namespace vardex::files {

enum class FileKind { Loops, Config, Log, Picture }; // *.upr, *.cfg, *.log, *.fgd

// The file to read, or empty when the engineer cancels.
QString askOpenPath(ui::Prompts &prompts, FileKind kind, const QString &title);
// The file to write, or empty when the engineer cancels.
QString askSavePath(ui::Prompts &prompts, FileKind kind, const QString &title);

} // namespace vardex::files
