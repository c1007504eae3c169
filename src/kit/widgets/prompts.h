#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vardex::ui {

// What a file dialog asks, in the program's own terms. The filter is written as
// the pages write it: "Description|*.ext|Description|*.ext".
struct FileDialogRequest {
    QString title;
    QString filter;
    int filterIndex = 1;   // 1-based, as the pages count their filters
    QString defaultSuffix; // without the dot; appended when the user types none
    QString fileName;      // proposed name or folder
};

// The one seam for modal questions: message boxes and file dialogs. Pages never
// create QMessageBox or QFileDialog themselves, so tests answer without a modal loop.
class Prompts {
public:
    enum class Kind { Information, Warning, Error };
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompts() = default;

    virtual void message(const QString &text, Kind kind = Kind::Information) = 0;
    // defaultAnswer is the button Enter presses: No where a hasty yes does harm.
    virtual Answer question(const QString &text, bool withCancel = false,
                            Answer defaultAnswer = Answer::Yes) = 0;
    // A message whose list may be long: text says what it is, details holds every line.
    virtual void report(const QString &text, const QStringList &details)
    {
        message(text + QLatin1Char('\n') + details.join(QLatin1Char('\n')), Kind::Information);
    }
    // Empty when the user cancels.
    virtual QString openFileName(const FileDialogRequest &request) = 0;
    virtual QString saveFileName(const FileDialogRequest &request) = 0;

    // "Description|*.ext|..." to Qt's "Description (*.ext);;..." form.
    static QStringList qtFilters(const QString &filter);
};

// The real dialogs, parented to the main window.
class WidgetPrompts final : public Prompts {
public:
    explicit WidgetPrompts(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void message(const QString &text, Kind kind) override;
    Answer question(const QString &text, bool withCancel, Answer defaultAnswer) override;
    void report(const QString &text, const QStringList &details) override;
    QString openFileName(const FileDialogRequest &request) override;
    QString saveFileName(const FileDialogRequest &request) override;

private:
    QWidget *m_parent;
};

} // namespace vardex::ui
