#include "thinned_screen.h"

#include "screens/shell/app_context.h"
#include "screens/entry/entry_screen_widgets.h"
#include "session/entry/entry_session.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/unthinned_screen.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tavelo {

ThinnedScreen::ThinnedScreen(AppContext &ctx) : ctx_(ctx)
{
    makeWindow(this, ctx.windows.entrada());
    setObjectName(objectNameOf(WindowId::ThinnedDensity));
    setWindowTitle(QStringLiteral("Dados do Povoamento Desbastado"));

    optPPovoamento = radio(this, "optPPovoamento", QStringLiteral("Parâmetros do povoamento"));
    frmPPovoamento = groupBox(this, "frmPPovoamento", QString());
    auto *fp = new QGridLayout(frmPPovoamento);
    const auto row = [&](int r, QLabel *&l, QLineEdit *&t, const char *labelName, const QString &caption,
                         const char *name) {
        t = lineEdit(frmPPovoamento, name, QString());
        l = buddyLabel(frmPPovoamento, labelName, caption, t);
        fp->addWidget(l, r, 0);
        fp->addWidget(t, r, 1);
    };
    row(0, lblAvivas, txtAvivas, "lblAvivas", QStringLiteral("Nº de árvores vivas (nº/ha)"), "txtAvivas");
    row(1, lblAbasal, txtAbasal, "lblAbasal", QStringLiteral("Área basal (m2/ha)"), "txtAbasal");
    row(2, lblDmin, txtDmin, "lblDmin", QStringLiteral("DAP mínimo (cm)"), "txtDmin");
    row(3, lblDp93, txtDp93, "lblDp93", QStringLiteral("95º percentil"), "txtDp93");
    fp->setColumnStretch(0, 1);
    fp->setRowStretch(4, 1);

    optCDap = radio(this, "optCDap", QStringLiteral("Árvores vivas por classe de DAP(nº/ha)"));
    frmCDap = groupBox(this, "frmCDap", QString());
    auto *fc = new QGridLayout(frmCDap);
    lblClasseDap = new QLabel(QStringLiteral("Classe DAP"), frmCDap);
    lblClasseDap->setObjectName(QStringLiteral("lblClasseDap"));
    lblNArvores = new QLabel(QStringLiteral("Nº Árvores"), frmCDap);
    lblNArvores->setObjectName(QStringLiteral("lblNArvores"));
    fc->addWidget(lblClasseDap, 0, 0, Qt::AlignHCenter);
    fc->addWidget(lblNArvores, 0, 1, Qt::AlignHCenter);
    for (int k = 0; k < kClasses; ++k) {
        const QByteArray boxName = "txt1_" + QByteArray::number(k);
        const QByteArray labelName = "lbl1_" + QByteArray::number(k);
        txt1[k] = lineEdit(frmCDap, boxName.constData(), QString());
        lbl1[k] = buddyLabel(frmCDap, labelName.constData(), QString::number(5 * (k + 1)), txt1[k]);
        // The class centre alone does not say what the box takes.
        txt1[k]->setAccessibleName(QStringLiteral("Nº Árvores, classe DAP %1").arg(5 * (k + 1)));
        fc->addWidget(lbl1[k], k + 1, 0, Qt::AlignHCenter);
        fc->addWidget(txt1[k], k + 1, 1);
        fc->setRowMinimumHeight(k + 1, 0);
    }
    fc->setVerticalSpacing(3);

    optInvisivel = radio(this, "optInvisivel", QString());
    optInvisivel->setVisible(false);
    auto *group = new QButtonGroup(this);
    group->addButton(optPPovoamento);
    group->addButton(optCDap);
    group->addButton(optInvisivel);
    optInvisivel->setChecked(true);

    cmdOk = button(this, "cmdOk", QStringLiteral("&Ok"));

    auto *main = new QGridLayout(this);
    main->addWidget(optPPovoamento, 0, 0);
    main->addWidget(frmPPovoamento, 1, 0, Qt::AlignTop);
    main->addWidget(optCDap, 0, 1);
    main->addWidget(frmCDap, 1, 1);
    main->setHorizontalSpacing(16);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    main->addLayout(buttons, 2, 0, 1, 2);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // Load: neither way of entering the stand is open yet.
    frmPPovoamento->setEnabled(false);
    frmCDap->setEnabled(false);

    placeOverOwner(this);

    connect(optPPovoamento, &QRadioButton::toggled, this, &ThinnedScreen::parametersChosen);
    connect(optCDap, &QRadioButton::toggled, this, &ThinnedScreen::classesChosen);
    connect(cmdOk, &QPushButton::clicked, this, &ThinnedScreen::confirm);
}

void ThinnedScreen::classesChosen(bool checked)
{
    if (!checked)
        return;
    frmPPovoamento->setEnabled(false);
    for (QLineEdit *t : {txtAvivas, txtAbasal, txtDmin, txtDp93})
        t->clear();
    frmCDap->setEnabled(true);
}

void ThinnedScreen::parametersChosen(bool checked)
{
    if (!checked)
        return;
    frmPPovoamento->setEnabled(true);
    for (QLineEdit *t : txt1)
        t->clear();
    frmCDap->setEnabled(false);
}

void ThinnedScreen::confirm()
{
    ThinnedEntryInput in;
    if (optPPovoamento->isChecked())
        in.choice = ThinnedEntryChoice::Parameters;
    else if (optCDap->isChecked())
        in.choice = ThinnedEntryChoice::Classes;
    in.trees = txtAvivas->text().toStdString();
    in.basalArea = txtAbasal->text().toStdString();
    in.minDiameter = txtDmin->text().toStdString();
    in.p95 = txtDp93->text().toStdString();
    for (int k = 0; k < kClasses; ++k)
        in.classes[k] = txt1[k]->text().toStdString();

    ctx_.guarded(this, [&] {
        // Basal area beyond the model, or a shape that cannot be solved, ends the program inside this call.
        const ThinnedEntryOutcome out = ctx_.flow.confirmThinnedEntry(in);
        if (out.classTexts)
            for (int k = 0; k < kClasses; ++k)
                txt1[k]->setText(QString::fromStdString((*out.classTexts)[k]));
        if (!densityStored(ctx_, this, SimulationFlow::Route::Thinned, out.kind, out.message, out.leave))
            return;
        if (auto *form2 = ctx_.windows.get<StandDataScreen>(WindowId::StandData))
            form2->showLock();
        ctx_.windows.hide(this);
    });
}

} // namespace tavelo
