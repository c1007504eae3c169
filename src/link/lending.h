#pragma once

#include "link/owner.h"

#include <QObject>

namespace vardex::link {

// Where a holder that lends hears a borrower (the platform's Unix socket in the program,
// a plain object in tests). One borrower at a time.
class Lending : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Tells the borrower how much longer it has to wait (a pulse is finishing).
    virtual void wait(int ms) = 0;
    // The controller has been let go: the loan begins.
    virtual void lend() = 0;
    virtual void refuse(const QString &why) = 0;

signals:
    void requested(const vardex::link::OwnerRecord &borrower);
    // The borrower closed its end: the controller is free to take back.
    void returned();
};

} // namespace vardex::link
