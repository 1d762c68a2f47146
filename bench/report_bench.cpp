// Times one report on a signed-in database: until its first page is painted (as the viewer
// shows it) and until its whole PDF is written.
//   report_bench DB ID PROGRAM_DIR OUT.pdf
#include "ReportLayout.h"
#include "reports/ReportEngine.h"
#include "session/Session.h"
#include "session/SignIn.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: report_bench DB ID PROGRAM_DIR OUT.pdf\n");
        return 2;
    }
    orv::Session session(QString::fromLocal8Bit(argv[3]));
    try {
        session.openDatabaseConnection(QString::fromLocal8Bit(argv[1]));
    } catch (const orv::DbError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    orv::loadGlobals(session, orv::SignInMode::ReportOptions);
    orv::buildRecordFilter(session);
    const QString id = QString::fromLocal8Bit(argv[2]);
    try {
        QElapsedTimer clock;
        clock.start();
        orv::ReportLayout first(std::make_unique<orv::ReportRun>(session, id));
        first.layoutMore();
        QImage page(first.pageSize().toSize() * 2, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            painter.scale(2, 2);
            first.paintPage(0, painter);
        }
        const double firstPage = clock.elapsed() / 1000.0;

        clock.restart();
        orv::ReportLayout whole(std::make_unique<orv::ReportRun>(session, id));
        whole.layoutAll();
        const double layout = clock.elapsed() / 1000.0;
        if (!whole.writePdf(QString::fromLocal8Bit(argv[4])))
            return 1;
        const double pdf = clock.elapsed() / 1000.0;
        std::printf("%s: first page %.2f s, laid out %.2f s, PDF %.2f s, %d pages, %lld rows\n",
                    argv[2], firstPage, layout, pdf, whole.pageCount(),
                    static_cast<long long>(whole.run().rowsRead()));
    } catch (const orv::ReportError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
