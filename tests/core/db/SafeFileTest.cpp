#include "TestSupport.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "program/DataSource.h"
#include "program/IniText.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamWriter>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace orv;

namespace {

constexpr rlim_t kSizeLimit = 64 * 1024;

// Writes past kSizeLimit fail with EFBIG while it lives, as the kernel fails them on a full
// disk; the old limit and signal handling come back afterwards.
class FileSizeLimit {
public:
    FileSizeLimit() {
        mSignal = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &mSaved);
        rlimit limit = mSaved;
        limit.rlim_cur = kSizeLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &mSaved);
        std::signal(SIGXFSZ, mSignal);
    }

private:
    rlimit mSaved{};
    void (*mSignal)(int) = nullptr;
};

class InjectedFault {
public:
    explicit InjectedFault(int err, bool atSyncOnly) {
        files::setWriteFault([err, atSyncOnly](const QString&, bool atSync) {
            return atSync || !atSyncOnly ? err : 0;
        });
    }
    ~InjectedFault() { files::setWriteFault({}); }
};

using test::modeOf;

// Enough to pass the size limit and the write buffer a few times over.
QByteArray bigText(char fill) {
    return "[Other]\nkey=" + QByteArray(200 * 1024, fill) + "\n";
}

struct Writer {
    const char* name;
    std::function<void(const QString& target)> write;
};

struct Fault {
    const char* name;
    std::function<void(const std::function<void()>&)> around;
    const char* expect; // %1 stands for the target
};

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        mSavedMask = ::umask(022);
        source = file("source.bin");
        test::writeFile(source, bigText('s'));
    }
    void TearDown() override {
        ::umask(mSavedMask);
        qunsetenv("ODBCINI");
    }
    QString entries() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).join(' ');
    }
    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString source;
    mode_t mSavedMask = 022;
};

// Every way the program writes a file, failing every way a disk fails: the previous file stays
// byte for byte, nothing is left beside it and the user is told why. Once the disk is well the
// file is written whole, keeping an existing file's permissions; a new one is the owner's alone.
TEST_F(SafeFileTest, FailedWritesKeepThePreviousFile) {
    const Writer writers[] = {
        {"whole file", [](const QString& t) { files::writeWholeFile(t, bigText('n')); }},
        {"copy", [this](const QString& t) { files::copyWholeFile(source, t); }},
        {"stream writer",
         [](const QString& t) {
             files::AtomicFile file(t);
             QXmlStreamWriter xml(&file);
             xml.writeStartDocument();
             xml.writeTextElement("Comments", QString(200 * 1024, 'x'));
             xml.writeEndDocument();
             file.commit();
         }},
        {"ini file",
         [](const QString& t) {
             IniText ini(bigText('i'));
             ini.set("ORVDataVal", "Driver", "SQLite3");
             writeIniFile(t, ini);
         }},
        // Only its own section changes; the big section of another program is carried over.
        {"data source",
         [](const QString& t) {
             qputenv("ODBCINI", QFile::encodeName(t));
             datasource::write(kDataSourceName, kDataSourceDriver, "/data/run.mdb");
         }},
    };
    const Fault faults[] = {
        {"disk full",
         [](const std::function<void()>& run) {
             InjectedFault f(ENOSPC, false);
             run();
         },
         "The disk is full: %1 was not written; the previous file is unchanged."},
        {"disk full at the sync",
         [](const std::function<void()>& run) {
             InjectedFault f(EDQUOT, true);
             run();
         },
         "The disk is full: %1 was not written; the previous file is unchanged."},
        {"file size limit",
         [](const std::function<void()>& run) {
             FileSizeLimit l;
             run();
         },
         "%1 was not written (File too large); the previous file is unchanged."},
    };
    const QString target = file("target.txt");
    for (const Writer& w : writers) {
        for (const Fault& f : faults) {
            SCOPED_TRACE(std::string(w.name) + ", " + f.name);
            const QByteArray before = "[Other]\nkept=1\n" + bigText('o');
            test::writeFile(target, before);
            ::chmod(QFile::encodeName(target).constData(), 0640);
            QString error;
            f.around([&] {
                try {
                    w.write(target);
                } catch (const DbError& e) {
                    error = e.message();
                }
            });
            EXPECT_EQ(error, QString(f.expect).arg(QDir::toNativeSeparators(target)));
            EXPECT_EQ(test::readFile(target), before);
            EXPECT_EQ(entries(), "source.bin target.txt");
        }
        test::writeFile(target, "[Other]\nkept=1\n");
        ::chmod(QFile::encodeName(target).constData(), 0640);
        w.write(target);
        EXPECT_NE(test::readFile(target), "[Other]\nkept=1\n");
        EXPECT_TRUE(test::readFile(target).startsWith(
            w.name == std::string("data source") ? "[Other]\nkept=1\n" : ""));
        EXPECT_EQ(modeOf(target), 0640);
        QFile::remove(target);
        w.write(target);
        EXPECT_EQ(modeOf(target), 0600);
        EXPECT_EQ(entries(), "source.bin target.txt");
        QFile::remove(target);
    }
}

TEST_F(SafeFileTest, FoldersAndLinks) {
    // Folders the program makes are the owner's alone, the umask notwithstanding.
    const QString nested = file("a/b");
    files::makePrivateFolder(nested);
    EXPECT_EQ(modeOf(file("a")), 0700);
    EXPECT_EQ(modeOf(nested), 0700);
    files::makePrivateFolder(nested);

    // A link is written through: the file it names changes, the link stays.
    const QString real = file("a/real.ini");
    const QString link = file("odbc.ini");
    test::writeFile(real, "old");
    ::chmod(QFile::encodeName(real).constData(), 0644);
    ASSERT_TRUE(QFile::link(real, link));
    files::writeWholeFile(link, "new");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(test::readFile(real), "new");
    EXPECT_EQ(modeOf(real), 0644);

    // A stop before the end leaves nothing.
    {
        files::AtomicFile dropped(file("dropped.txt"));
        dropped.write("half");
    }
    EXPECT_FALSE(QFileInfo::exists(file("dropped.txt")));
    EXPECT_EQ(entries(), "odbc.ini source.bin");

    const QString missing = file("no/such/folder/x.txt");
    EXPECT_THROW(files::writeWholeFile(missing, "x"), DbError);
}

} // namespace
