#include "options_screen.h"

#include "screens/shell/app_context.h"
#include "session/entry/entry_session.h"
#include "screens/entry/entry_screen_widgets.h"
#include "base/calendar.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tavelo {

namespace {

// The year a freshly loaded options screen shows.
} // namespace

OptionsScreen::OptionsScreen(AppContext &ctx) : ctx_(ctx)
{
    makeWindow(this, ctx.windows.entrada());
    setObjectName(objectNameOf(WindowId::Options));
    setWindowTitle(QStringLiteral("Opções do Modelo"));

    Frame1 = groupBox(this, "Frame1", QStringLiteral("Volumes"));
    optVcc = radio(Frame1, "optVcc", QStringLiteral("Volumes com casca"));
    optVsc = radio(Frame1, "optVsc", QStringLiteral("Volumes sem casca"));
    auto *bark = new QButtonGroup(this);
    bark->addButton(optVcc);
    bark->addButton(optVsc);
    optVcc->setChecked(true);
    auto *f1 = new QVBoxLayout(Frame1);
    f1->addWidget(optVcc);
    f1->addWidget(optVsc);

    Frame2 = groupBox(this, "Frame2", QStringLiteral("Ano corrente"));
    txtAno = lineEdit(Frame2, "txtAno", QString());
    auto *f2 = new QVBoxLayout(Frame2);
    f2->addWidget(txtAno);
    f2->addStretch(1);

    Frame3 = groupBox(this, "Frame3", QStringLiteral("Dimensões das classes de aproveitamento"));
    auto *f3 = new QGridLayout(Frame3);
    const auto row = [&](int r, QLabel *&l, QLineEdit *&t, const char *labelName, const QString &caption,
                         const char *name, const QString &text) {
        t = lineEdit(Frame3, name, text);
        l = buddyLabel(Frame3, labelName, caption, t);
        f3->addWidget(l, r, 0);
        f3->addWidget(t, r, 1);
    };
    row(0, lblDmin, txtDmin, "lblDmin", QStringLiteral("Diâmetro mínimo para madeira (cm)"), "txtDmin",
        QStringLiteral("20.0"));
    row(1, lblCmin, txtCmin, "lblCmin", QStringLiteral("Comprimento mínimo do toro para madeira (m)"), "txtCmin",
        QStringLiteral("2.30"));
    row(2, lblAltcorte, txtAltcorte, "lblAltcorte", QStringLiteral("Altura do corte (m)"), "txtAltcorte",
        QStringLiteral("0.15"));
    row(3, lblDdesp, txtDdesp, "lblDdesp", QStringLiteral("Diâmetro de desponta (cm)"), "txtDdesp",
        QStringLiteral("7"));
    f3->setColumnStretch(0, 1);

    cmdOk = button(this, "cmdOk", QStringLiteral("&Ok"));

    auto *main = new QGridLayout(this);
    main->addWidget(Frame1, 0, 0);
    main->addWidget(Frame2, 0, 1);
    main->addWidget(Frame3, 1, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    main->addLayout(buttons, 2, 0, 1, 2);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // Later screens read the cutting height and the year as they stand here.
    placeOverOwner(this);

    connect(txtAltcorte, &QLineEdit::textChanged, this, &OptionsScreen::typed);
    connect(txtAno, &QLineEdit::textChanged, this, &OptionsScreen::typed);
    connect(cmdOk, &QPushButton::clicked, this, &OptionsScreen::confirm);

    // Load: this year.
    txtAno->setText(QString::fromStdString(thisYear()));
    typed();
}

void OptionsScreen::typed()
{
    ctx_.flow.typeOptions(txtAno->text().toStdString(), txtAltcorte->text().toStdString());
}

void OptionsScreen::confirm()
{
    OptionsInput in;
    in.withBark = optVcc->isChecked();
    in.year = txtAno->text().toStdString();
    in.sawlogMinDiameter = txtDmin->text().toStdString();
    in.sawlogMinLength = txtCmin->text().toStdString();
    in.stumpHeight = txtAltcorte->text().toStdString();
    in.topDiameter = txtDdesp->text().toStdString();
    const OptionsOutcome out = ctx_.flow.confirmOptions(in);
    ctx_.showAll(this, out.messages);
    if (!out.accepted)
        return;
    setSimulationEnabled(ctx_, true);
    ctx_.windows.hide(this);
}

void OptionsScreen::closeEvent(QCloseEvent *event)
{
    // Closed for good: a later reading finds what a freshly loaded screen shows.
    ctx_.flow.closeOptions(thisYear());
    QWidget::closeEvent(event);
}

} // namespace tavelo
