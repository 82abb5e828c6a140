#include "station/hostlib/scriptrunner.h"

#include "host/blended.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QTimer>

namespace host {

ScriptRunner::ScriptRunner(std::vector<ScriptStep> steps,
                           std::function<void(const std::string&)> onError)
    : mSteps(std::move(steps)), mOnError(std::move(onError))
{}

void ScriptRunner::start()
{
    schedule(0);
}

void ScriptRunner::stop()
{
    mStopped = true;
}

void ScriptRunner::schedule(int ms)
{
    QTimer::singleShot(ms, this, [this] { step(); });
}

kzt::Form* ScriptRunner::shownForm()
{
    if (auto* form = qobject_cast<kzt::Form*>(QApplication::activeModalWidget()))
        return form;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* form = qobject_cast<kzt::Form*>(widget);
        if (form && form->isVisible())
            return form;
    }
    return nullptr;
}

void ScriptRunner::step()
{
    if (mStopped)
        return;
    kzt::Form* form = shownForm();
    if (!form) {
        // Not shown yet (or already closed by the last action): look again shortly.
        schedule(5);
        return;
    }
    if (!mSettled) {
        // The form starts its activation handler two event-loop hops after it shows; wait
        // the same two hops so that handler (the end-of-sale editor, say) runs first.
        mSettled = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                QMetaObject::invokeMethod(
                    this, [this] { step(); }, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        return;
    }
    if (mNext < mSteps.size()) {
        const ScriptStep& current = mSteps[mNext++];
        try {
            run(*form, current);
        } catch (const std::exception& e) {
            mOnError(e.what());
        }
        schedule(0);
        return;
    }
    // Out of actions with the dialog still up: close it as a host does on shutdown.
    mLeftOpen = true;
    mStopped = true;
    form->closeForm();
}

namespace {

std::string utf8Name(const QObject& object)
{
    return object.objectName().toStdString();
}

void pressButton(kzt::Form& form, const ScriptStep& action)
{
    auto* button = form.findChild<TBlendedBitBtn*>(QString::fromStdString(action.name));
    if (!button) {
        throw kzt::Error(kzt::utf8ToCp1252(action.source + ": the dialog has no button named '"
                                           + action.name + "'"));
    }
    button->click();
}

void sendKey(kzt::Form& form, const ScriptStep& action)
{
    const int qtKey = kzt::qtKeyFromVirtualKey(action.key);
    if (qtKey == Qt::Key_unknown) {
        // A code with no key of its own still reaches the form, as SendMessageA would.
        form.dispatchKeyDown(action.key, action.shift);
        return;
    }
    QKeyEvent event(QEvent::KeyPress, qtKey, kzt::qtModifiersFromShiftState(action.shift));
    QApplication::sendEvent(&form, &event);
}

void postText(kzt::Form& form, const ScriptStep& action)
{
    const bool found =
        QMetaObject::invokeMethod(&form, "PostText", Qt::DirectConnection,
                                  Q_ARG(QByteArray, QByteArray::fromStdString(action.text)),
                                  Q_ARG(bool, action.enter), Q_ARG(bool, action.asChar));
    if (!found)
        throw kzt::Error(kzt::utf8ToCp1252(action.source + ": the dialog has no PostText method"));
}

void saveShot(kzt::Form& form, const ScriptStep& action)
{
    if (!form.grab().save(QString::fromStdString(action.name), "PNG"))
        throw kzt::Error(
            kzt::utf8ToCp1252(action.source + ": could not write '" + action.name + "'"));
}

} // namespace

void ScriptRunner::run(kzt::Form& form, const ScriptStep& action)
{
    switch (action.kind) {
    case ScriptStep::Kind::Press: pressButton(form, action); break;
    case ScriptStep::Kind::Key: sendKey(form, action); break;
    case ScriptStep::Kind::Post: postText(form, action); break;
    case ScriptStep::Kind::Dump: mSnapshots.push_back(snapshot(form)); break;
    case ScriptStep::Kind::Shot: saveShot(form, action); break;
    }
}

kzt::Json ScriptRunner::snapshot(const kzt::Form& form)
{
    kzt::Json controls = kzt::Json::object();
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QStringLiteral("qt_")))
            continue;
        kzt::Json control = kzt::Json::object();
        const auto* label = qobject_cast<kzt::Label*>(widget);
        const auto* button = qobject_cast<TBlendedBitBtn*>(widget);
        if (label)
            control["caption"] = kzt::textJson(label->caption());
        else if (button)
            control["caption"] = kzt::textJson(button->caption());
        // Controls inside others (the note's scroll buttons, the panel's rows) report where
        // they are on the dialog and whether they show there, so that a touch can find them.
        const QPoint onForm = widget->mapTo(&form, QPoint(0, 0));
        control["visible"] = widget->isVisibleTo(&form);
        control["enabled"] = widget->isEnabled();
        control["left"] = onForm.x();
        control["top"] = onForm.y();
        control["width"] = widget->width();
        control["height"] = widget->height();
        if (button) {
            control["code"] = kzt::textJson(button->code());
            control["color"] = static_cast<std::int64_t>(button->brushColor());
        }
        controls[utf8Name(*widget)] = std::move(control);
    }
    return controls;
}

} // namespace host
