#pragma once

#include "ExtractLines.h"
#include "ScriptedFrontEnd.h"
#include "TestSupport.h"

#include "import/ImportDriver.h"
#include "session/DatabaseFiles.h"
#include "session/Session.h"
#include "session/SignIn.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

namespace orv::test {

inline const QString kReload = QStringLiteral(
    "This process will reload the Master Validation Table.\nPress Yes to continue / No to stop");

class ImportFixture : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        ASSERT_EQ(createDatabase(*session, dir.file("run.mdb")), FileResult::Opened);
        SignInForm form;
        form.fiscalYear = "2008";
        ASSERT_EQ(applyFiscalYear(form), "");
        const SignInOutcome signedIn = signIn(*session, form, SignInMode::SignIn);
        ASSERT_TRUE(signedIn.ok) << signedIn.failure.toStdString();
        ui.answer(kReload, true);
        extract = dir.file("extract.csv");
    }

    ImportResult runImport(const QByteArray& content, quint32 seed = 7) {
        test::writeFile(extract, content);
        ImportDriver driver(*session, view);
        return driver.importExtractFile(extract, ImportOptions{seed});
    }
    qint64 count(const char* sql) { return session->db().scalar(sql).toLongLong(); }
    // Every row, every column with its type.
    QStringList rows(const char* sql) {
        QStringList out;
        Statement st = session->db().prepare(sql);
        while (st.step()) {
            QStringList cells;
            for (int c = 0; c < st.columnCount(); ++c)
                cells << QString::number(st.columnType(c)) + ":" + st.value(c).toString();
            out << cells.join('|');
        }
        return out;
    }
    QStringList runState() {
        return rows("SELECT * FROM tblsample ORDER BY sampletype, seqno") + QStringList{"--"} +
               rows("SELECT sType, SamplingUnit, CaseMgr, weight, totrec FROM tblsupport "
                    "ORDER BY 1, 2, 3, 4, 5") +
               QStringList{"--"} +
               rows("SELECT rowid, SamplingUnit, Weight, subpop, spopnum, pop, randno "
                    "FROM tblORVmaster ORDER BY rowid") +
               QStringList{"--"} + rows("SELECT rid FROM tblDuplicateRecords ORDER BY rid");
    }
    QStringList reportLines() {
        return QString::fromUtf8(test::readFile(errorReportPath(*session))).split("\r\n");
    }

    RecordingView view;
    QString extract;
};

} // namespace orv::test
