#pragma once
// TFrmConfiguracion: the configuration window. The user picks the piece set
// and the light and dark square pictures of the board, or puts the built-in
// look back, and picks the sound set; on the "Motores" page the user sees the
// external UCI engines (those found on the system and those added by path)
// and adds or removes them. Every change reaches the main window at once
// through the appliers of TConfigModel. A page about a web address and FTP
// access is shown disabled and stores nothing.
//
// The window knows neither the main window nor the board: it works on a copy
// of TConfigModel and talks to the user through TUiDialogs. The main window
// builds it anew for each opening and shows it modally; closing destroys it.
//
// What must stay true:
// - it opens showing what is in use: the current pictures in the previews (the
//   built-in ones where the board shows its built-in look) and the sound set in
//   use selected (none when the folder is neither of the two sets);
// - a chosen picture is used as Qt reads it (any format it knows); a file that
//   is not a picture is refused with a message and changes nothing; a cancelled
//   dialog or a file that does not exist changes nothing;
// - the two reset buttons put the built-in look back on the board (a null
//   picture to the appliers), in the previews and in the stored file names;
// - opening the window changes nothing; the sound folder changes only when
//   the user clicks a set;
// - an engine is added only when it is an executable file not listed yet
//   whose path the settings can hold, and once it has answered as a UCI
//   engine (its name and strength settings learnt then); one that does not
//   answer is not added and the user is told why; found engines cannot be
//   removed.

#include "EngineConfig.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class TUiDialogs;

// What the configuration window works on. File names are absolute, empty for
// the built-in look; pictures are null for the built-in look.
struct TConfigModel {
    QString PieceSetFile;
    QString LightSquareFile;
    QString DarkSquareFile;
    QString SoundFolder;

    // What the board shows now.
    QImage CurrentPieceSet;
    QImage CurrentSquareLight;
    QImage CurrentSquareDark;
    // What the previews show for the built-in look.
    QImage BuiltInPieceSet;
    QImage BuiltInSquareLight;
    QImage BuiltInSquareDark;

    // Where the picture dialog opens first.
    QString ProgramFolder;

    // Put a picture on the board (CustomPieceSet, SquareLight, SquareDark) and
    // store its file name (PieceSetFile, ...); a null picture and an empty
    // name mean the built-in look.
    std::function<void(const QImage& picture, const QString& file)> ApplyPieceSet;
    std::function<void(const QImage& picture, const QString& file)> ApplySquareLight;
    std::function<void(const QImage& picture, const QString& file)> ApplySquareDark;
    // SoundFolder.
    std::function<void(const QString& folder)> ApplySoundFolder;

    // The external engines, and the list as the "Motores" page leaves it.
    QList<TEngineConfig> Engines;
    std::function<void(const QList<TEngineConfig>& engines)> ApplyEngines;
};

class TFrmConfiguracion : public QWidget {
    Q_OBJECT
public:
    // The two sound sets, folders relative to the program folder.
    static constexpr const char* SoundFolderTarambo = "sonidos/tarambo/";
    static constexpr const char* SoundFolderZelbo = "sonidos/zelbo/";

    // The dialogs are not owned and must outlive the window.
    TFrmConfiguracion(const TConfigModel& model, TUiDialogs& dialogs, QWidget* parent = nullptr);

    // The window's copy of the model, as the handlers left it.
    const TConfigModel& Model() const { return model_; }
    // The pictures the three previews show.
    QImage ShownPieceSet() const { return shownPieces_; }
    QImage ShownSquareLight() const { return shownLight_; }
    QImage ShownSquareDark() const { return shownDark_; }

    // Event handlers.
    void bCambiarPiezasClick();
    void bPiezasNilClick();
    void bCuadrosBlancosClick();
    void bCuadrosNegrosClick();
    void bCuadrosNilClick();
    void RgSonidosClick();
    // lbInfo shows the hint of control (the web page, one of its edits or the group).
    void eUrlMouseMove(QWidget* control);
    void GroupBox1MouseMove();
    void bCerrarClick();
    void bAnadirMotorClick();
    void EngineChosen(const QString& chosen);
    void bQuitarMotorClick();
    // An engine being added is still being asked.
    bool ProbingEngine() const { return probe_ != nullptr; }

    QTabWidget* PageControl1 = nullptr;
    QWidget* tabApariencia = nullptr;
    QWidget* tabSonidos = nullptr;
    QWidget* tabWeb = nullptr;
    QWidget* tabMotores = nullptr;
    QListWidget* lbMotores = nullptr;
    QPushButton* bAnadirMotor = nullptr;
    QPushButton* bQuitarMotor = nullptr;
    QLabel* lMotores = nullptr;
    QPushButton* bCambiarPiezas = nullptr;
    QToolButton* bPiezasNil = nullptr;
    QPushButton* bCuadrosBlancos = nullptr;
    QPushButton* bCuadrosNegros = nullptr;
    QToolButton* bCuadrosNil = nullptr;
    QLabel* imgPiezas = nullptr;
    QLabel* ImgCuadrosBlancos = nullptr;
    QLabel* imgCuadrosNegros = nullptr;
    QGroupBox* RgSonidos = nullptr;
    QRadioButton* rbTarambo = nullptr;
    QRadioButton* rbZelbovar = nullptr;
    QLabel* lbCreditos = nullptr;
    QLabel* lbInfo = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* eUrl = nullptr;
    QLineEdit* eHost = nullptr;
    QLineEdit* ePuerto = nullptr;
    QLineEdit* eUsuario = nullptr;
    QLineEdit* ePassword = nullptr;
    QLineEdit* eDir = nullptr;
    QPushButton* bCerrar = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Enter and Escape close the window, as "Cerrar" does.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class TTarget { Pieces, Light, Dark };
    void ChoosePicture(TTarget target);
    void PictureChosen(TTarget target, const QString& chosen);
    void Show(TTarget target, const QImage& picture);
    void BuildAppearance();
    void BuildSounds();
    void BuildWeb();
    void BuildEngines();
    void ShowEngines();

    TConfigModel model_;
    TUiDialogs& dialogs_;
    QString pictureFolder_; // the picture dialog's folder; empty until first used
    QImage shownPieces_;
    QImage shownLight_;
    QImage shownDark_;
    TEngineProbe* probe_ = nullptr;
};
