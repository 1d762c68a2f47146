#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace orv::ui {

class Navigator;

// U018: the validators' summary comments that go with the error-rate report and export.
class CommentsScreen : public QWidget {
    Q_OBJECT
public:
    explicit CommentsScreen(Navigator& window);

public slots:
    void update();
    void cancel();

private:
    Navigator& mWindow;
    QPlainTextEdit* mNotes = nullptr;
};

} // namespace orv::ui
