// The preferences: the file Graphmill.ini in the user's configuration folder, and the "Preferences" dialog
// that edits the display preferences.
#pragma once

#include "curves/columnreader.h"
#include "plot/coord_win.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TColorCombo;

// Everything the file holds, with the value a missing or unreadable key gives.
struct TPreferences {
    QString Current;   // Directories: the folder Open and Save offer first
    bool Lines = true; // Display: the style of new curves
    bool Symbols = false;
    int32_t SymbolSize = 3;      // 1..20
    TColor GridColor = 0x808080; // grey
    bool GridLines = true;
    TColor BackColor = 0x000000;   // black
    TColor CursorColor = 0x0000FF; // red
    bool NewCurveMode = false;
    bool AutoUpdate = true;
    QString FunctionLiabrary = QStringLiteral("UserFit.dat"); // Fitting: read, never written
    bool Legend = false;                                      // Graph: the legend is shown
    bool RoundTicks = false;                                  // Graph: axes divided on round values
};

// Graphmill.ini in the user's configuration folder (on Linux $XDG_CONFIG_HOME, else ~/.config).
QString PreferencesFile();
// The file's values; a missing, unreadable or damaged file, a missing key or a value that is no valid setting
// gives the default of that key. A symbol size is kept within 1..20, and a file that would draw new curves
// with neither lines nor symbols gives lines.
TPreferences ReadPreferencesFile(const QString& file);
// Writes the values (all but FunctionLiabrary) and, with fitPanel, the key FunctionLibrary, keeping every
// other key the file holds. False with the reason in `error` when the file could not be written; a file that
// exists but cannot be read is not overwritten.
bool WritePreferencesFile(const QString& file, const TPreferences& prefs, bool fitPanel, QString& error);
// The choices of the "Import Data" dialog, kept in the section "Import" of the file (the defaults of a
// missing or invalid key), and written there alone, keeping every other key.
columns::TColumnOptions ReadImportChoices(const QString& file);
bool WriteImportChoices(const QString& file, const columns::TColumnOptions& choices, QString& error);
// The library file named in the preferences: a plain name lies in the user's data folder (made when missing),
// an absolute one is taken as it is.
QString LibraryFileFor(const QString& name);

class TCurvePrefs : public QDialog {
    Q_OBJECT
public:
    explicit TCurvePrefs(QWidget* parent = nullptr);

    QTabWidget* Pages = nullptr;
    QRadioButton* LinesRadio = nullptr;
    QRadioButton* SymbolsRadio = nullptr;
    QRadioButton* BothRadio = nullptr;
    QSpinBox* SymbolSizeEdit = nullptr;
    QCheckBox* GridLines = nullptr;
    TColorCombo* GridColor = nullptr;
    TColorCombo* CursorColor = nullptr;
    TColorCombo* BackColor = nullptr;
    QCheckBox* CursorInterpolation = nullptr;
    QCheckBox* ToolbarVisible = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // The radio buttons from the style of new curves, and the style they choose.
    void ShowCurveStyle(bool lines, bool symbols);
    void ChosenCurveStyle(bool& lines, bool& symbols) const;

private:
    void EnableSymbolSize();
};
