#include "files/widgets/file_dialogs.h"

#include "files/dialog_filters.h"
#include "kit/widgets/prompts.h"

namespace vardex::files {

namespace {

struct KindEntry {
    const char *suffix;
    int openIndex; // entry of kOpenDialogFilter
    int saveIndex; // entry of kSaveDialogFilter
};

KindEntry entryOf(FileKind kind)
{
    switch (kind) {
    case FileKind::Loops:
        return {"upr", 1, 1};
    case FileKind::Config:
        return {"cfg", 2, 2};
    case FileKind::Log:
        return {"log", 4, 3};
    case FileKind::Picture:
        break;
    }
    return {"fgd", 6, 4};
}

ui::FileDialogRequest requestFor(FileKind kind, const QString &title, bool save)
{
    const KindEntry e = entryOf(kind);
    ui::FileDialogRequest r;
    r.title = title;
    r.filter = save ? kSaveDialogFilter : kOpenDialogFilter;
    r.filterIndex = save ? e.saveIndex : e.openIndex;
    r.defaultSuffix = QLatin1String(e.suffix);
    r.fileName.clear();
    return r;
}

} // namespace

QString askOpenPath(ui::Prompts &prompts, FileKind kind, const QString &title)
{
    return prompts.openFileName(requestFor(kind, title, false));
}

QString askSavePath(ui::Prompts &prompts, FileKind kind, const QString &title)
{
    return prompts.saveFileName(requestFor(kind, title, true));
}

} // namespace vardex::files
