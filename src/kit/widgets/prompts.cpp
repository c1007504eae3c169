#include "kit/widgets/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace vardex::ui {

QStringList Prompts::qtFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString pattern = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = parts[i].trimmed();
        // Qt reads the patterns from the last parentheses, so keep the text's own
        // "*.ext" mention and add the pattern Qt needs.
        out << QStringLiteral("%1 (%2)").arg(description, pattern);
    }
    return out;
}

void WidgetPrompts::message(const QString &text, Kind kind)
{
    const QString title = QApplication::applicationName();
    switch (kind) {
    case Kind::Information:
        QMessageBox::information(m_parent, title, text);
        break;
    case Kind::Warning:
        QMessageBox::warning(m_parent, title, text);
        break;
    case Kind::Error:
        QMessageBox::critical(m_parent, title, text);
        break;
    }
}

Prompts::Answer WidgetPrompts::question(const QString &text, bool withCancel, Answer defaultAnswer)
{
    auto buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel)
        buttons |= QMessageBox::Cancel;
    const QMessageBox::StandardButton preset = defaultAnswer == Answer::Yes  ? QMessageBox::Yes
                                               : defaultAnswer == Answer::No ? QMessageBox::No
                                                                             : QMessageBox::Cancel;
    const auto r =
        QMessageBox::question(m_parent, QApplication::applicationName(), text, buttons, preset);
    if (r == QMessageBox::Yes)
        return Answer::Yes;
    if (r == QMessageBox::No)
        return Answer::No;
    return Answer::Cancel;
}

void WidgetPrompts::report(const QString &text, const QStringList &details)
{
    // The first lines in the box itself, every line behind "Show Details…".
    constexpr int kShown = 12;
    QStringList shown = details.mid(0, kShown);
    if (details.size() > kShown)
        shown << QStringLiteral("… и ещё %1").arg(details.size() - kShown);
    QMessageBox box(QMessageBox::Information, QApplication::applicationName(),
                    text + QLatin1Char('\n') + shown.join(QLatin1Char('\n')), QMessageBox::Ok,
                    m_parent);
    if (details.size() > kShown)
        box.setDetailedText(details.join(QLatin1Char('\n')));
    box.exec();
}

namespace {

QString runDialog(QWidget *parent, const FileDialogRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    const QStringList filters = Prompts::qtFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString WidgetPrompts::openFileName(const FileDialogRequest &request)
{
    return runDialog(m_parent, request, QFileDialog::AcceptOpen);
}

QString WidgetPrompts::saveFileName(const FileDialogRequest &request)
{
    return runDialog(m_parent, request, QFileDialog::AcceptSave);
}

} // namespace vardex::ui
