#pragma once

// The start screen "Entrada": the program's main window. It owns the other
// windows, offers the four entry points as menu-bar items and picture buttons,
// and shows the stand photograph.

#include "screens/shell/app_context.h"

#include <QMainWindow>
#include <QRect>
#include <QSize>

class QAction;
class QLabel;
class QToolButton;

namespace tavelo {

class AppContext;

// Makes the program's pictures (":/tavelo/...") available; cheap after the first call.
void initPictures();

// The resize rule of the start screen, in pixels (15 twips a pixel).
inline constexpr int kTwipsPerPixel = 15;
inline constexpr QSize kEntradaOuterSize{12000 / kTwipsPerPixel, 9000 / kTwipsPerPixel}; // 800 x 600
// On a screen exactly this high the start screen is maximized.
inline constexpr int kEntradaMaximizedScreenHeight = 600;
// Where the photograph sits in the client area; its bottom margin is 100 twips.
inline constexpr int kPhotoLeft = 8;
inline constexpr int kPhotoTop = 72;
inline constexpr int kPhotoBottomMargin = (100 + kTwipsPerPixel / 2) / kTwipsPerPixel; // 7

// The photograph's place in a client area of `client`: equal margins left and
// right, below the buttons, 100 twips above the bottom edge.
QRect photoGeometry(const QSize &client);

class EntradaScreen : public QMainWindow, public StartScreenControls {
    Q_OBJECT
public:
    explicit EntradaScreen(AppContext &ctx);

    void enableSimulation(bool enabled) override;
    void enableOptions(bool enabled) override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openOptions();
    void startSimulation();
    void openAbout();
    void openInventory();
    void leave();
    void applyResizeRule();
    void placePhoto();

    AppContext &ctx_;
    bool applyingRule_ = false;

private:
    // The controls, which tests and scripts find by their object names:
    // menu-bar items (they act when clicked; there are no submenus), then the
    // picture buttons.
    QAction *OModelo = nullptr;
    QAction *Sim = nullptr;
    QAction *Ajuda = nullptr;
    QAction *Sair = nullptr;
    QAction *Inventario = nullptr; // after the others: nothing that was there moves
    QToolButton *cmdParametros = nullptr;
    QToolButton *cmdSimulacao = nullptr;
    QToolButton *cmdAjuda = nullptr;
    QToolButton *cmdsair = nullptr;
    QLabel *Image1 = nullptr;
};

// The start-up of the start screen: the regional-settings check (which may end
// the program; then there is no window), this run's log name and an empty
// record; returns the new window, not shown. The factory of "Entrada".
QWidget *loadEntrada(AppContext &ctx);

} // namespace tavelo
