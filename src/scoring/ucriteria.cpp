// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/ucriteria.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "scoring/testresults.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "testing/textrules.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/messages.h"

namespace {

constexpr TestKind Kinds[] = {TestKind::numeric, TestKind::alphanumeric, TestKind::alpha};
constexpr double MostKph = 1e7;
constexpr int CriteriaHelpContext = 8100;

QString kindCaption(TestKind kind)
{
    QString name = QString::fromStdString(kindRules(kind).name);
    return name.left(1).toUpper() + name.mid(1);
}

QString figureText(double value, bool thousands)
{
    if (value <= 0) return {};
    return QString::fromStdString(thousands ? formatThousands(value) : formatTwoDecimals(value));
}

}  // namespace

TcriteriaForm::TcriteriaForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("criteriaForm"));
    setWindowTitle(QStringLiteral("Pass criteria"));
    setHelpContext(this, CriteriaHelpContext);
    auto* window = new QVBoxLayout(this);
    for (TestKind kind : Kinds) {
        const std::size_t place = std::size_t(kind);
        auto* group = new QGroupBox(kindCaption(kind), this);
        auto* rows = new QFormLayout(group);
        const QString name = QString::fromStdString(kindRules(kind).name);
        NetKphEdits[place] = hinted(new QLineEdit(group), "", QStringLiteral("Lowest net KPH that passes; empty for none"));
        NetKphEdits[place]->setObjectName(QStringLiteral("NetKph_") + name);
        AccuracyEdits[place] =
            hinted(new QLineEdit(group), "", QStringLiteral("Lowest accuracy in percent that passes; empty for none"));
        AccuracyEdits[place]->setObjectName(QStringLiteral("Accuracy_") + name);
        rows->addRow(QStringLiteral("Minimum net KPH:"), NetKphEdits[place]);
        rows->addRow(QStringLiteral("Minimum accuracy (%):"), AccuracyEdits[place]);
        window->addWidget(group);
    }
    SaveBtn = hinted(new QPushButton(QStringLiteral("&Save"), this), "SaveBtn", QStringLiteral("Save changes and exit"));
    CancelBtn = hinted(new QPushButton(QStringLiteral("&Cancel"), this), "CancelBtn",
                       QStringLiteral("Cancel changes and exit"));
    SaveBtn->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SaveBtn);
    buttons->addWidget(CancelBtn);
    window->addLayout(buttons);
    connect(SaveBtn, &QPushButton::clicked, this, &TcriteriaForm::SaveBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

int TcriteriaForm::exec()
{
    store::StoreTable criteriadb("criteriadb");
    scoring::CriteriaSet criteria;
    try {
        criteria = scoring::readCriteria(criteriadb, ProgramDir + scoring::CriteriaTableName);
    } catch (const store::StoreError& error) {
        messages().errorBox(QString::fromUtf8(error.what()));
        return Rejected;
    }
    for (TestKind kind : Kinds) {
        const std::size_t place = std::size_t(kind);
        NetKphEdits[place]->setText(figureText(criteria.of(kind).minimumNetKph, false));
        AccuracyEdits[place]->setText(figureText(criteria.of(kind).minimumAccuracy, false));
    }
    NetKphEdits[0]->setFocus();
    return QDialog::exec();
}

std::optional<double> TcriteriaForm::figureOf(QLineEdit* field, const QString& what, double maximum)
{
    const QString text = field->text().trimmed().remove(QLatin1Char(','));
    if (text.isEmpty()) return 0.0;
    bool number = false;
    const double value = text.toDouble(&number);
    if (number && value >= 0 && value <= maximum) return value;
    messages().errorBox(what + QStringLiteral(" must be a number from 0 to ") +
                        QString::fromStdString(formatThousands(maximum)).chopped(3));
    field->setFocus();
    field->selectAll();
    return std::nullopt;
}

void TcriteriaForm::SaveBtnClick()
{
    scoring::CriteriaSet criteria;
    for (TestKind kind : Kinds) {
        const std::size_t place = std::size_t(kind);
        const auto netKph = figureOf(NetKphEdits[place], kindCaption(kind) + QStringLiteral(" minimum net KPH"), MostKph);
        if (!netKph) return;
        const auto accuracy = figureOf(AccuracyEdits[place], kindCaption(kind) + QStringLiteral(" minimum accuracy"), 100);
        if (!accuracy) return;
        criteria.of(kind) = {*netKph, *accuracy};
    }
    store::StoreTable criteriadb("criteriadb");
    try {
        scoring::writeCriteria(criteriadb, ProgramDir + scoring::CriteriaTableName, criteria);
    } catch (const store::StoreError& error) {
        messages().errorBox(QString::fromUtf8(error.what()));
        return;
    }
    accept();
}
