#pragma once
// What assistive technologies see of a single-line text field: named by its `Accessible.name` or
// placeholder. Masked, it is a password field whose text and value are the mask characters, never
// the typed secret (Qt Quick's own interface hands the clear text out, and keeps a password field's
// name to itself). AccessibilityFactories puts it in front for every text input.
#include <QAccessibleObject>

class QQuickItem;

class TextFieldAccessible : public QAccessibleObject, public QAccessibleTextInterface, public QAccessibleEditableTextInterface
{
public:
    explicit TextFieldAccessible(QQuickItem *field);

    static QAccessibleInterface *create(const QString &className, QObject *object);

    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text kind) const override;
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::EditableText; }
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *startOffset, int *endOffset) const override;

    // Assistive technologies that type for their user (voice control, the accessibility tests) edit
    // the field's own text, masked or not.
    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, {}); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    QQuickItem *field() const;
    bool isMasked() const;
    QString masked() const;
    QVariant attached(const char *property) const;
};
