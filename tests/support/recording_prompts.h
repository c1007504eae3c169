#pragma once

#include "kit/widgets/prompts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>

namespace vardex::test {

// Answers the program's questions from a script and records what it was asked.
class RecordingPrompts final : public ui::Prompts {
public:
    QStringList messages;
    QList<ui::FileDialogRequest> openRequests;
    QList<ui::FileDialogRequest> saveRequests;
    std::deque<QString> openAnswers; // empty string = the user cancels
    std::deque<QString> saveAnswers;
    std::deque<Answer> questionAnswers;
    QStringList questions;
    QList<Answer> questionDefaults; // the button Enter would have pressed, per question
    QStringList reports;            // report(): the text, then every detail line

    void message(const QString &text, Kind) override { messages << text; }
    Answer question(const QString &text, bool, Answer defaultAnswer) override
    {
        questions << text;
        questionDefaults << defaultAnswer;
        if (questionAnswers.empty())
            return Answer::Cancel;
        const Answer a = questionAnswers.front();
        questionAnswers.pop_front();
        return a;
    }
    void report(const QString &text, const QStringList &details) override
    {
        reports << (QStringList{text} + details).join(QLatin1Char('\n'));
    }
    QString openFileName(const ui::FileDialogRequest &r) override
    {
        openRequests << r;
        return take(openAnswers);
    }
    QString saveFileName(const ui::FileDialogRequest &r) override
    {
        saveRequests << r;
        return take(saveAnswers);
    }

private:
    static QString take(std::deque<QString> &answers)
    {
        if (answers.empty())
            return {};
        QString a = answers.front();
        answers.pop_front();
        return a;
    }
};

} // namespace vardex::test
