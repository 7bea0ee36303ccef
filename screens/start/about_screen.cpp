#include "about_screen.h"

#include "screens/shell/app_context.h"
#include "screens/start/entrada_screen.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

namespace tavelo {

namespace {

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QLabel *picture(QWidget *parent, const char *name, const QString &resource, int size)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setPixmap(QPixmap(resource).scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    l->setFixedSize(size, size);
    return l;
}

QFrame *rule(QWidget *parent)
{
    auto *f = new QFrame(parent);
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

} // namespace

QString aboutCaption()
{
    return QStringLiteral("%1 vs %2").arg(QLatin1String(kProgramTitle), QLatin1String(kProgramVersionShort));
}

AboutScreen::AboutScreen(AppContext &ctx) : ctx_(ctx)
{
    initPictures();
    makeWindow(this, ctx.windows.entrada());
    // A fixed dialog: no resizing, no maximize box.
    setWindowFlags(windowFlags() | Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setObjectName(objectNameOf(WindowId::About));

    picIcon = picture(this, "picIcon", QStringLiteral(":/tavelo/app_icon.png"), 96);
    lblTitle = label(this, "lblTitle", aboutCaption());
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblTitle->setFont(big);
    lblDescricao = label(this, "lblDescricao",
                         QStringLiteral("Modelo regional de crescimento e produção para povoamentos regulares "
                                        "de pinheiro bravo"));
    lblDescricao->setWordWrap(true);
    lblAno = label(this, "lblAno", QStringLiteral("2001"));
    lblFabricante = label(this, "lblFabricante", QStringLiteral("Oficina Tavelo de Software Florestal"));

    lblEdicao = label(this, "lblEdicao", QStringLiteral("Edição:"));
    lblProducao = label(this, "lblProducao", QStringLiteral("Produção:"));
    lblModelo = label(this, "lblModelo", QStringLiteral("Modelo:"));
    for (QLabel *h : {lblEdicao, lblProducao, lblModelo}) {
        QFont f = h->font();
        f.setBold(true);
        h->setFont(f);
    }
    picEdicao = picture(this, "picEdicao", QStringLiteral(":/tavelo/logo_edicao.png"), 40);
    picProducao = picture(this, "picProducao", QStringLiteral(":/tavelo/logo_producao.png"), 40);
    picModelo = picture(this, "picModelo", QStringLiteral(":/tavelo/logo_modelo.png"), 40);
    lblEdicaoTexto = label(this, "lblEdicaoTexto", QStringLiteral("Oficina Tavelo de Software Florestal"));
    lblProducaoTexto = label(this, "lblProducaoTexto", QStringLiteral("Cooperativa Florestal do Vale do Pinhal"));
    lblModeloTexto = label(this, "lblModeloTexto",
                           QStringLiteral("Grupo de Biometria e Modelação de Povoamentos Regulares"));

    lblTitle2 = label(this, "lblTitle2", QString());
    lblTitle2->setEnabled(false);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setMinimumWidth(90);

    auto *head = new QGridLayout;
    head->addWidget(picIcon, 0, 0, 4, 1, Qt::AlignTop);
    head->addWidget(lblTitle, 0, 1);
    head->addWidget(lblDescricao, 1, 1);
    head->addWidget(lblAno, 2, 1);
    head->addWidget(lblFabricante, 3, 1);
    head->setHorizontalSpacing(16);
    head->setColumnStretch(1, 1);

    auto *credits = new QGridLayout;
    int row = 0;
    for (auto [h, pic, text] : {std::tuple{lblEdicao, picEdicao, lblEdicaoTexto},
                                std::tuple{lblProducao, picProducao, lblProducaoTexto},
                                std::tuple{lblModelo, picModelo, lblModeloTexto}}) {
        credits->addWidget(h, row, 0, Qt::AlignVCenter);
        credits->addWidget(pic, row, 1);
        credits->addWidget(text, row, 2, Qt::AlignVCenter);
        ++row;
    }
    credits->setColumnStretch(2, 1);
    credits->setHorizontalSpacing(12);

    auto *foot = new QHBoxLayout;
    foot->addWidget(lblTitle2);
    foot->addStretch(1);
    foot->addWidget(cmdOK);

    auto *main = new QVBoxLayout(this);
    main->addLayout(head);
    main->addWidget(rule(this));
    main->addLayout(credits);
    main->addWidget(rule(this));
    main->addLayout(foot);
    main->setSizeConstraint(QLayout::SetFixedSize);
    lblDescricao->setMinimumWidth(420);

    // Load: the caption, the default mouse pointer, the second title line.
    setWindowTitle(aboutCaption());
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    lblTitle2->setText(lblTitle->text());

    connect(cmdOK, &QPushButton::clicked, this, [this] { ctx_.windows.unload(WindowId::About); });
}

void AboutScreen::reject()
{
    ctx_.windows.unload(WindowId::About);
}

} // namespace tavelo
