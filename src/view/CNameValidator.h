#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

// Keeps the name edit box within the 15 bytes a recording's name holds (counted in UTF-8, as RE
// stores the name): a key or a paste that would take it beyond is refused whole, never cut. A
// longer name shown as the receiver stored it can still be shortened.
class CNameValidator : public QValidator {
    Q_OBJECT

public:
    explicit CNameValidator(QLineEdit* edit);

    State validate(QString& input, int& pos) const override;

private:
    // The box's text before the edit being checked: while it is checked the box already holds it.
    QString m_before;
};
