// "Average Curves": the curves to average (or merge), in the order chosen, and the x values of the result.
// Modal, shared by the curve windows; on show it asks its window for the list of curves (FillAverageList).
#pragma once

#include "plot/WindowDialog.h"

#include <vector>

class QListWidget;
class QPushButton;
class QRadioButton;

class TAvgCrvDlg : public TWindowDialog {
    Q_OBJECT
public:
    explicit TAvgCrvDlg(QWidget* parent = nullptr);

    enum class TGridChoice { MinimumInterval, FirstCurve, Union };
    TGridChoice GridChoice() const;
    // The window's answer to FillAverageList: one entry per curve, "Curve #" and its number first.
    void SetSourceCurves(const QStringList& entries);
    QListWidget& SourceList() const { return *source_; }
    QListWidget& DestinationList() const { return *destination_; }
    // The curve numbers of the destination entries, in list order (at most 100).
    std::vector<int32_t> CurveNumbers() const;
    // The number after the first "#" of an entry (blanks before it skipped); an entry without one counts
    // as its position in the list (from 1).
    static int32_t CurveNumberOf(const QString& entry, int32_t position);

    // OK needs at least two curves to average.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Moves the selected entries (all: every entry, in order) from one list to the end of the other.
    void Move(QListWidget* from, QListWidget* to, bool all);
    void UpdateButtons();

    QRadioButton* minInterval_;
    QRadioButton* firstCurve_;
    QRadioButton* union_;
    QListWidget* source_;
    QListWidget* destination_;
    QPushButton* add_;
    QPushButton* addAll_;
    QPushButton* remove_;
    QPushButton* removeAll_;
};
