#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

// The switch-off an unattended watch still owes: an output it switched on and could not
// be seen switched off again (the controller went away mid-pulse, the process was
// killed). Kept in a small file so the next watch for that output, typically started
// again by systemd, clears it at the controller before anything else.
namespace vardex::cli {

struct PendingSwitchOff {
    int output = -1; // item of the watchdog's output list
    QString serial;  // the controller's serial number; empty when it could not be read
    QString node;    // the controller's device node when the output went on
    QDateTime since; // when the output went on (UTC)
};

// The file: a first line naming the format, then key=value lines, UTF-8. Anything else
// (another first line, an unknown or repeated key, a control character, a bad date or
// output) is refused with the reason: the file is untrusted, and a switch-off is only
// sent on a record that is whole.
QByteArray encodePending(const PendingSwitchOff &pending);
std::optional<PendingSwitchOff> decodePending(const QByteArray &bytes, QString *why);

// Where the records live: $STATE_DIRECTORY (set by systemd's StateDirectory=; the first
// of several), else $XDG_STATE_HOME/vardex, else ~/.local/state/vardex. Relative paths
// are ignored, as the base directory rules say. Empty when none is known.
using EnvLookup = std::function<QString(const char *name)>;
QString pendingStateDir(const EnvLookup &env);
QString pendingStateDir(); // from the process environment

// "relay1", "h2", "l4": the word `--output` takes for the item, empty for none.
QString watchOutputWord(int item);

// Whether a record may be settled on the controller that is connected now. A known
// serial number must match; without one only the same device node is taken as the same
// controller.
enum class PendingMatch { SameController, OtherController };
PendingMatch matchPending(const PendingSwitchOff &pending, const QString &serial,
                          const QString &node);

// The record of one output of one controller in one directory:
// switch-off-<serial>-<output>.pending, so watches of several controllers, or a spare
// plugged in for a while, never overwrite each other's records. Without a serial number
// (it could not be read) the record is switch-off-<output>.pending, the name earlier
// versions gave every record; load() still finds a record there.
class PendingStore {
public:
    PendingStore(QString dir, int output, const QString &serial = {});

    // Where this store writes.
    QString path() const { return m_path; }
    // The name without a serial number.
    QString legacyPath() const { return m_legacyPath; }

    struct Loaded {
        enum class State { None, Valid, Unreadable } state = State::None;
        PendingSwitchOff pending;
        QString why;  // Unreadable: what is wrong with it
        QString path; // the file it came from
    };
    // The record at path(), else the one at legacyPath().
    Loaded load() const;
    // Atomic: a failed save leaves the old record as it was. The folder is made when
    // missing. false with the reason in *why.
    bool save(const PendingSwitchOff &pending, QString *why) const;
    // Removes the record at path() and, with alsoLegacy, the one at legacyPath() (it was
    // settled). true when no such record is left (also when there was none).
    bool remove(QString *why, bool alsoLegacy = false) const;

private:
    QString m_dir;
    QString m_path;
    QString m_legacyPath;
};

// The serial number as a file name's part: letters, digits, '.', '-' and '_' are kept,
// anything else becomes '_', at most 64 characters; a serial that is only dots becomes
// '_' too, so no name can climb out of the folder.
QString serialFilePart(const QString &serial);

} // namespace vardex::cli
