#include "view/CNameValidator.h"

#include "viewmodel/PaneTexts.h"

#include <QLineEdit>

CNameValidator::CNameValidator(QLineEdit* edit)
    : QValidator(edit)
    , m_edit(edit)
{
}

QValidator::State CNameValidator::validate(QString& input, int&) const
{
    return vmx::NameEditTakes(input.toStdString(), m_edit->text().toStdString()) ? Acceptable : Invalid;
}
