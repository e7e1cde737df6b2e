// Data in and out of a window in columns: File > Import (the "Import Data" dialog) and File > Export data,
// and what the lenient Open passed over, told in the status line.
#include "app/CurvePreferences.h"
#include "app/ImportDialog.h"
#include "app/curvewin.h"
#include "app/shareddialogs.h"
#include "curves/columnwriter.h"
#include "plot/CurvePanels.h"
#include "plot/UserMessages.h"
#include "plot/curve_plot.h"
#include "plot/w_curve.h"

#include <QFileInfo>

namespace {
const QString ImportFilter = QStringLiteral("Data file (*.csv *.tsv *.txt *.dat *.asc *.gz)");
const QString AnyFilter = QStringLiteral("Any file (*.*)");
const QString CsvFilter = QStringLiteral("Comma-separated values (*.csv)");
const QString TsvFilter = QStringLiteral("Tab-separated text (*.tsv *.txt)");

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QString LinesText(int64_t n) {
    return n == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(n);
}
} // namespace

QString OpenNotesText(const QString& file, const TCurveReadNotes& notes) {
    QStringList parts;
    if (notes.moreThanTwo)
        parts << QStringLiteral("lines hold more than two numbers (only the first two are read)");
    if (notes.skipped.count > 0)
        parts << QStringLiteral("%1 without numbers skipped (the first, line %2: %3)")
                     .arg(LinesText(notes.skipped.count))
                     .arg(notes.skipped.firstLine)
                     .arg(Q(notes.skipped.firstText));
    if (notes.partlyRead.count > 0)
        parts << QStringLiteral("%1 with text beside the numbers, left out (the first, line %2: %3)")
                     .arg(LinesText(notes.partlyRead.count))
                     .arg(notes.partlyRead.firstLine)
                     .arg(Q(notes.partlyRead.firstText));
    if (parts.isEmpty()) return {};
    return QFileInfo(file).fileName() + QStringLiteral(": ") + parts.join(QStringLiteral("; ")) +
           QStringLiteral(". File > Import chooses columns and separators.");
}

void Tcurvewindow::ImportData() {
    CurvePanel->SetZoomMode(false);
    const QString name =
        Messages().OpenFile(this, DataDir, {ImportFilter, AnyFilter}, QStringLiteral("Import"));
    if (name.isEmpty()) return;
    SetDataDir(QFileInfo(name).absolutePath());
    TImportDialog& dialog = SharedDialog<TImportDialog>();
    QString error;
    if (!dialog.SetFile(name, ReadImportChoices(PreferencesFile()), error)) {
        Messages().Error(this, error);
        return;
    }
    if (dialog.exec() != QDialog::Accepted) return;
    const columns::TColumnOptions choices = dialog.Choices();
    std::vector<TCurveB> curves;
    columns::TColumnReport report;
    std::string why;
    bool ok = false;
    {
        TBusyPointer busy;
        ok = columns::ReadColumnFile(name.toStdString(), choices, curves, report, why);
    }
    // The choices are kept whether or not this file gave curves: the next file is likely of the same kind.
    QString prefsError;
    if (!WriteImportChoices(PreferencesFile(), choices, prefsError)) Messages().Error(this, prefsError);
    if (!ok) {
        Messages().Error(this, Q(why));
        return;
    }
    if (CurvePanel->CurveCount() + static_cast<int32_t>(curves.size()) > TCurvePanel::MaxCurves) {
        Messages().Error(this,
                         QStringLiteral("A curve window holds at most %1 curves: the %2 of %3 do not fit.")
                             .arg(TCurvePanel::MaxCurves)
                             .arg(curves.size())
                             .arg(QFileInfo(name).fileName()));
        return;
    }
    const bool wasEmpty = CurvePanel->CurveCount() == 0;
    {
        TBusyPointer busy;
        for (TCurveB& c : curves)
            CurvePanel->AddCurve(std::move(c), wasEmpty || CurvePanel->AutoUpdate, false);
        CurvePanel->CurveSet().Redraw();
    }
    RefreshAfterSetChange();
    QString said = QStringLiteral("Imported %1 from %2")
                       .arg(curves.size() == 1 ? QStringLiteral("1 curve")
                                               : QStringLiteral("%1 curves").arg(curves.size()))
                       .arg(QFileInfo(name).fileName());
    if (choices.sigmaColumn > 0) said += QStringLiteral(" with sigma");
    for (const std::string& line : report.SkippedText()) said += QStringLiteral("; ") + Q(line);
    SetPrompt(said + QLatin1Char('.'));
}

void Tcurvewindow::ExportData() {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr) return;
    const int32_t n = CurvePanel->ActiveIndex();
    QString name = Messages().SaveFile(this, DataDir, {CsvFilter, TsvFilter});
    if (name.isEmpty()) return;
    SetDataDir(QFileInfo(name).absolutePath());
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix.isEmpty()) name += QStringLiteral(".csv");
    const auto format = suffix == QLatin1String("tsv") || suffix == QLatin1String("txt")
                            ? columns::TExportFormat::Tsv
                            : columns::TExportFormat::Csv;
    std::string error;
    bool ok = false;
    {
        TBusyPointer busy;
        ok = columns::ExportColumns(*active, name.toStdString(), format, error);
    }
    if (!ok) {
        Messages().Error(this, QStringLiteral("Curve #%1 was not exported: %2").arg(n).arg(Q(error)));
        return;
    }
    SetPrompt(QStringLiteral("Curve #%1 exported to %2%3.")
                  .arg(n)
                  .arg(QFileInfo(name).fileName())
                  .arg(active->HasSigma() ? QStringLiteral(" with its sigma values") : QString()));
}
