#pragma once

#include "doctor/async_probe.h"
#include "doctor/diagnosis.h"
#include "link/owner.h"

#include <QString>

#include <optional>

// What the window says in its centre while it has no controller to work with, so a
// newcomer knows what it waits for and where to look when nothing happens.
namespace vardex::doctor {

inline const QString kPlugInTitle = QStringLiteral("Подключите контроллер Quellbox по USB");
inline const QString kDoctorButtonText = QStringLiteral("Диагностика подключения");

struct Guidance {
    bool shown = false;
    QString title;
    QString detail;         // may hold command lines, each starting with two blanks
    bool canBorrow = false; // the holder lends: the card offers to take the controller
};

inline const QString kBorrowButtonText = QStringLiteral("Взять у сторожа");
inline const QString kGiveBackText = QStringLiteral("Вернуть сторожу");

// Another program holds the controller; the window sent it nothing. asking: the window
// has asked the holder to lend it and waits for the answer; refusal: the holder's or the
// system's words for a loan that did not come about.
Guidance heldGuidance(const link::OwnerRecord &holder, bool asking = false,
                      const QString &refusal = {});

// connected: the link holds a controller (then nothing is shown). failed: the
// diagnosis made after the last failed open, if the link has not connected since;
// systemError: the system's words for that failure.
Guidance connectionGuidance(bool connected, const std::optional<Diagnosis> &failed = std::nullopt,
                            const QString &systemError = {});

// The probe with the link's facts laid over its result (taken on the caller's thread,
// so the worker thread never touches the link).
SystemProbe withLinkFacts(SystemProbe probe, LinkFacts facts);

} // namespace vardex::doctor
