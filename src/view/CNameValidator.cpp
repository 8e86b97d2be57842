#include "view/CNameValidator.h"

#include "viewmodel/PaneTexts.h"

#include <QLineEdit>

CNameValidator::CNameValidator(QLineEdit* edit)
    : QValidator(edit)
    , m_before(edit->text())
{
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { m_before = text; });
}

QValidator::State CNameValidator::validate(QString& input, int&) const
{
    return vmx::NameEditTakes(input.toStdString(), m_before.toStdString()) ? Acceptable : Invalid;
}
