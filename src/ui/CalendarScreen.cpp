#include "CalendarScreen.h"

#include "session/SignIn.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace orv::ui {

CalendarScreen::CalendarScreen(const QDate& date, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("U004"));
    setWindowTitle(QStringLiteral("U004 - Calendar"));
    mCalendar = new QCalendarWidget(this);
    mCalendar->setObjectName(QStringLiteral("calSelect"));
    mCalendar->setAccessibleName(QStringLiteral("Calendar"));
    mCalendar->setGridVisible(true);
    mCalendar->setFirstDayOfWeek(Qt::Sunday);
    mCalendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    mCalendar->setSelectedDate(date.isValid() ? date : QDate::currentDate());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mCalendar);
    // The screen sees the keys before the calendar does.
    mCalendar->installEventFilter(this);
    for (QWidget* child : mCalendar->findChildren<QWidget*>())
        child->installEventFilter(this);
    connect(mCalendar, &QCalendarWidget::clicked, this, &QDialog::accept);
}

QDate CalendarScreen::date() const {
    return mCalendar->selectedDate();
}

QString CalendarScreen::pickDate(QWidget* parent, const QString& text) {
    CalendarScreen screen(parseDateEntry(text), parent);
    screen.exec();
    return shortDate(screen.date());
}

bool CalendarScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void CalendarScreen::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event))
        QDialog::keyPressEvent(event);
}

bool CalendarScreen::handleKey(QKeyEvent* event) {
    const QDate d = mCalendar->selectedDate();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    QDate to;
    switch (event->key()) {
    case Qt::Key_Left:
        to = shift ? QDate() : d.addDays(-1);
        break;
    case Qt::Key_Right:
        to = shift ? QDate() : d.addDays(1);
        break;
    case Qt::Key_Up:
        to = shift ? QDate() : d.addDays(7);
        break;
    case Qt::Key_Down:
        to = shift ? QDate() : d.addDays(-7);
        break;
    case Qt::Key_PageUp:
        to = shift ? d.addYears(-1) : d.addMonths(-1);
        break;
    case Qt::Key_PageDown:
        to = shift ? d.addYears(1) : d.addMonths(1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Esc closes like the others: the date shown is the answer.
        accept();
        return true;
    default:
        return false;
    }
    if (!to.isValid())
        return false;
    mCalendar->setSelectedDate(to);
    return true;
}

} // namespace orv::ui
