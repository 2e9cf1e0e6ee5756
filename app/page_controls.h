// Controls the main window's header and pages share: the clickable label,
// the button and the counter plate, and the file row with the job row
// under it that both job pages show.
#pragma once

#include <QLabel>
#include <array>
#include <tuple>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

// A label that reacts to a click (the counters, the option link, the naming
// link); Tab reaches it and Space or Enter clicks it.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TClickLabel(QWidget* parent = nullptr);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h);

// A counter shown on a framed plate, as the fix, split and padding counts are.
QLabel* MakePlate(QWidget* parent, const char* name, int x, int y, int w, int h);

// The file row and the job row under it, alike on both job pages.
struct JobRow {
    QLineEdit* field;
    QPushButton* fileButton;
    TClickLabel* naming;
    QPushButton* start;
    QProgressBar* bar;
    QLabel *status, *completed, *eta;
    TClickLabel* totals;
    auto values() const {
        return std::make_tuple(field, fileButton, naming, start, bar, status, completed, eta, totals);
    }
};

// names: field, file button, naming link, start, progress bar, status,
// completed, ETA, warning totals.
JobRow MakeJobRow(QWidget* p, const std::array<const char*, 9>& names, const char* fileButtonCaption);
