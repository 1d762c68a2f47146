#pragma once

#include <QDate>
#include <QDialog>

class QCalendarWidget;

namespace orv::ui {

// U004: the calendar pop-up of the date boxes. However it is closed, it hands back the date
// it shows; closed untouched, that is the date it was opened with.
class CalendarScreen : public QDialog {
    Q_OBJECT
public:
    explicit CalendarScreen(const QDate& date, QWidget* parent = nullptr);

    QDate date() const;
    QCalendarWidget* calendar() const { return mCalendar; }

    // Shows the calendar on the date in text (today when empty or no date) and returns the
    // date chosen, as MM/DD/YYYY.
    static QString pickDate(QWidget* parent, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool handleKey(QKeyEvent* event);

    QCalendarWidget* mCalendar;
};

} // namespace orv::ui
