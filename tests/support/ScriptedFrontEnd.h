#pragma once

#include "TestSupport.h"

#include "db/Transaction.h"
#include "import/ImportRun.h"
#include "program/FrontEnd.h"
#include "session/DatabaseFiles.h"
#include "session/Session.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace orv::test {

// Answers questions from a script (No for anything unscripted) and records all it is told.
class ScriptedFrontEnd : public FrontEnd {
public:
    struct Shown {
        QString text;
        Icon icon;
    };

    void answer(const QString& question, bool yes) { answers[question] = yes; }

    bool askYesNo(const QString& text, Icon) override {
        asked << text;
        return answers.value(text, false);
    }
    void message(const QString& text, Icon icon) override { shown.push_back({text, icon}); }
    void workStatus(const QString& text) override { work = text; }
    void setBusy(bool b) override { busy = b; }
    void processEvents() override { ++yields; }
    void databaseOpened(const QString& name) override {
        database = name;
        hasDatabase = true;
    }
    void databaseClosed() override { hasDatabase = false; }
    void signedIn() override { ++signIns; }
    void periodChanged(const QString& text) override { period = text; }
    void recordFilterChanged(const QString& stateText) override { filterState = stateText; }
    void showTipsChanged(bool show) override { showTips = show; }
    void endProgram() override { ended = true; }
    void beginProgress(const QString& text, bool canStop) override {
        progressTexts << text;
        cancellable = canStop;
    }
    // Cancel is pressed at step `cancelAtStep` of the next work that can stop.
    bool stepProgress(qint64, qint64) override {
        if (!cancellable || cancelAtStep < 0 || steps++ < cancelAtStep)
            return true;
        cancelAtStep = -1;
        steps = 0;
        return false;
    }

    std::optional<QString> askPassphrase(const QString& prompt, bool) override {
        asked << prompt;
        return passphrase;
    }

    QString lastMessage() const { return shown.isEmpty() ? QString() : shown.last().text; }

    QMap<QString, bool> answers;
    std::optional<QString> passphrase;
    QStringList asked;
    QVector<Shown> shown;
    // The last of each event.
    QString work;
    QString database;
    bool hasDatabase = false;
    int signIns = 0;
    QString period;
    QString filterState;
    std::optional<bool> showTips;
    bool busy = false;
    int yields = 0;
    bool ended = false;
    QStringList progressTexts;
    bool cancellable = false;
    int cancelAtStep = -1;
    int steps = 0;
};

// What an import screen would show: the labels as last set, every setting in order.
class RecordingView : public ImportView {
public:
    void setLabel(int label, const QString& text) override {
        labels[label] = text;
        history << QStringLiteral("%1:%2").arg(label).arg(text);
    }
    void refresh() override {
        ++refreshes;
        if (onRefresh)
            onRefresh();
    }
    std::map<int, QString> labels;
    QStringList history;
    int refreshes = 0;
    std::function<void()> onRefresh;
};

// A program folder whose data source file is its own, and a session on it that tells the script.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ODBCINI", dir.file(QStringLiteral("odbc.ini")).toLocal8Bit());
        session = std::make_unique<Session>(dir.path(), &ui);
    }
    void TearDown() override {
        session.reset();
        qunsetenv("ODBCINI");
    }

    // Creates a validation database at `path`, open in the session, with `masterRows` records.
    QString newDatabase(const QString& path, int masterRows) {
        EXPECT_EQ(createDatabase(*session, path), FileResult::Opened);
        Database& db = session->db();
        Transaction tx(db);
        Statement ins = db.prepare("insert into tblORVmaster (obs, SSN, WIAExitDate, OfficeName) "
                                   "values (?, ?, 20061015, 'Main office')");
        for (int i = 1; i <= masterRows; ++i) {
            ins.bindAll({i, QString("%1").arg(100000000 + i)});
            ins.run();
            ins.reset();
        }
        tx.commit();
        return path;
    }

    ProgramDir dir;
    ScriptedFrontEnd ui;
    std::unique_ptr<Session> session;
};

} // namespace orv::test
