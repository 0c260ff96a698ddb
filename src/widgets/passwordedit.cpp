#include "widgets/passwordedit.h"

#include <QValidator>

namespace {

// Upper-cases character by character, so the length never changes and the
// maximum length keeps holding.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        for (QChar& character : input) character = character.toUpper();
        return Acceptable;
    }
};

}  // namespace

PasswordEdit::PasswordEdit(QWidget* parent) : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    // The style's own mask character differs between platforms.
    setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    setMaxLength(MaxLength);
    setValidator(new UpperCaseValidator(this));
    setAccessibleDescription(QStringLiteral("At most %1 characters; letters are entered in upper case").arg(MaxLength));
}
