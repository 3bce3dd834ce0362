#pragma once

// The "AZ Skin Editor" window (fixed single border, close button only, client
// area 317 by 665): makes a skin from any bitmap, sets the colours, hot keys
// and switches of the skin settings, previews the skin on the main window
// and stores "skin.bmp" and "skin.azo". It also opens the equalizer and
// AutoTag and resets the file types. Created once at start-up; the main
// window shows it modally.

#include "skin_editor.h"
#include "skinsettings.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class TImage;
class TReplayGainChoice;

// What the editor uses of the rest of the program, handed over at creation.
struct TSkinEditorLinks
{
    // The main window's six hot-key codes, which the editor reads and sets.
    std::array<int, kHotKeyCount> *hotKeys = nullptr;
    // Shows a picture with its colours on the main window, storing nothing.
    std::function<void(const QImage &image, quint32 barColour, quint32 textColour, quint32 spectrumColour,
                       bool spectrumOn)>
        skinApplied;
    // Applies the stored skin again; runs whenever the editor closes.
    std::function<void(bool redraw)> loadSkin;
    // Gives the file types back to the programs named in the stored values
    // and stores the updated values.
    std::function<bool(std::array<QString, kPreviousFileTypeCount> &stored)> resetFileTypes;
    // The equalizer window's slider positions and its switch as they stand.
    std::function<void(std::array<int, kEqualizerBandCount> &bands, bool &on)> readEqualizer;
    // Hands the equalizer window what to run when it closes, then shows it
    // modally.
    std::function<void(std::function<void()> save)> openEqualizer;
    // Shows the AutoTag window modally.
    std::function<void()> openAutoTag;
    // A failure the user must know of; a plain message box when not set.
    std::function<void(QWidget *parent, const QString &title, const QString &text)> report;
};

class Tskin_editor_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 317;
    static constexpr int kClientHeight = 665;

    explicit Tskin_editor_form(TSkinEditorLinks links, QWidget *parent = nullptr);
    ~Tskin_editor_form() override;

    void FormShow();
    void FormClose();
    void bmppathChange();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void Image1MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    // The hot-key edits. Key down empties the edit; key up names the key and
    // takes it as the hot key, unless shift, alt, ctrl or a mouse button is
    // held, which leaves the edit empty and the hot key as it was.
    void nextKeyDown();
    void nextKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons = Qt::NoButton);
    void prevKeyDown();
    void prevKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons = Qt::NoButton);
    void playKeyDown();
    void playKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons = Qt::NoButton);
    void stopKeyDown();
    void stopKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons = Qt::NoButton);
    void voldownKeyDown();
    void voldownKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons = Qt::NoButton);
    void volupKeyDown();
    void volupKeyUp(int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons = Qt::NoButton);

    // Stores the 26 lines of "skin.azo" from the editor's controls, the main
    // window's hot keys and the equalizer window. False, after telling the
    // user, when the file cannot be written.
    bool saveSkinSettings();
    // The skin picture the rectangle marks now.
    QImage cropSkin() const;

    const TSkinEditorGeometry &geometry() const { return geometry_; }
    const std::array<QString, kPreviousFileTypeCount> &previousFileTypes() const { return previousFileTypes_; }
    // The six hot-key edits in the order of the hot keys.
    std::array<QLineEdit *, kHotKeyCount> hotKeyEdits() const { return {next, prev, play, stop, voldown, volup}; }

    QLabel *Label1 = nullptr;
    QLineEdit *bmppath = nullptr;
    QPushButton *Button1 = nullptr;
    TImage *Image1 = nullptr;
    TImage *Image2 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QPushButton *Button5 = nullptr;
    QPushButton *Button6 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *status_line_color = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *font_color = nullptr;
    QLabel *Label16 = nullptr;
    QComboBox *vis_color = nullptr;
    QCheckBox *vis_enabled = nullptr;
    QLabel *Label6 = nullptr;
    QCheckBox *show_hint_box = nullptr;
    QLabel *Label12 = nullptr;
    QCheckBox *checkMainDev = nullptr;
    QPushButton *Button7 = nullptr;
    QLabel *Label11 = nullptr;
    QCheckBox *key_enabled = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *next = nullptr;
    QLabel *Label8 = nullptr;
    QLineEdit *prev = nullptr;
    QLabel *Label9 = nullptr;
    QLineEdit *play = nullptr;
    QLabel *Label10 = nullptr;
    QLineEdit *stop = nullptr;
    QLabel *Label14 = nullptr;
    QLineEdit *voldown = nullptr;
    QLabel *Label15 = nullptr;
    QLineEdit *volup = nullptr;
    QPushButton *Button9 = nullptr;
    QPushButton *Button8 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button4 = nullptr;
    QLabel *Label13 = nullptr;
    TReplayGainChoice *replay_gain = nullptr;
    QFileDialog *openpicture = nullptr;

public Q_SLOTS:
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void connectEvents();
    void showSkinSettings(const QStringList &lines);
    void drawPreview();
    void hotKeyDown(int index);
    void hotKeyUp(int index, int key, Qt::KeyboardModifiers shift, Qt::MouseButtons buttons);
    void report(const QString &text);

    TSkinEditorLinks links_;
    TSkinEditorGeometry geometry_;
    std::array<QString, kPreviousFileTypeCount> previousFileTypes_;
};
