#pragma once

// "Form3", "Dados do Povoamento não Desbastado": the trees planted or alive of
// a stand never thinned.

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavelo {

class AppContext;
struct LeaveQuestion;

class UnthinnedScreen : public QWidget {
    Q_OBJECT
public:
    explicit UnthinnedScreen(AppContext &ctx);

    QGroupBox *Frame1 = nullptr;
    QLineEdit *txtNArvVP = nullptr;
    QRadioButton *optArvPlant = nullptr;
    QRadioButton *optArvVivas = nullptr;
    QPushButton *cmdOk = nullptr;

private:
    void confirm();

    AppContext &ctx_;
};

// "Leave this screen?": Yes unloads the screen, No shows the reminder (whose
// answer changes nothing) and the user stays. Shared by the density screens.
void askToLeave(AppContext &ctx, QWidget *screen, const LeaveQuestion &leave);

} // namespace tavelo
