#include "host/script.h"

#include "station/hostlib/presentation.h"
#include "station/hostlib/scriptrunner.h"

#include "platform/text.h"

namespace host {

namespace {

// Sits in front of the presentation that was installed, for one call.
class RecordingPresentation : public Presentation {
public:
    RecordingPresentation(std::vector<ShownMessage>& messages, ScriptAnswers* answers)
        : mMessages(messages), mAnswers(answers), mNext(presentation()),
          mPrevious(setPresentation(this))
    {}
    ~RecordingPresentation() override { setPresentation(mPrevious); }
    RecordingPresentation(const RecordingPresentation&) = delete;
    RecordingPresentation& operator=(const RecordingPresentation&) = delete;

    void message(const MessageBoxRequest& request) override
    {
        mMessages.push_back({request.text, request.type});
        if (!mAnswers)
            mNext.message(request);
    }
    bool search(kzt::ClientDataSet& cds, const std::string& title) override
    {
        return mAnswers ? mAnswers->takeSearch(cds) : mNext.search(cds, title);
    }
    std::string editText(const std::string& prompt, const std::string& initial) override
    {
        return mAnswers ? mAnswers->takeEditor(initial) : mNext.editText(prompt, initial);
    }
    std::optional<std::string> keypad(const KeypadRequest& request,
                                      const std::string& initial) override
    {
        return mAnswers ? mAnswers->takeKeypad() : mNext.keypad(request, initial);
    }
    void fiscalMenu() override
    {
        if (!mAnswers)
            mNext.fiscalMenu();
    }
    std::optional<std::string> priceAnswer() override
    {
        return mAnswers ? mAnswers->takePrice() : mNext.priceAnswer();
    }
    void trace(const std::string& call, const std::vector<std::string>& args) override
    {
        mNext.trace(call, args);
    }

private:
    std::vector<ShownMessage>& mMessages;
    ScriptAnswers* mAnswers;
    Presentation& mNext;
    Presentation* mPrevious;
};

} // namespace

struct CallRecorder::Impl {
    std::optional<Script> script;
    std::vector<ShownMessage> messages;
    std::vector<std::string> stepErrors;
    RecordingPresentation presentation;
    std::unique_ptr<ScriptRunner> runner;

    explicit Impl(std::optional<Script> given)
        : script(std::move(given)), presentation(messages, script ? &script->answers : nullptr)
    {}
};

CallRecorder::CallRecorder(std::optional<Script> script)
    : mImpl(std::make_unique<Impl>(std::move(script)))
{
    if (!mImpl->script)
        return;
    mImpl->runner = std::make_unique<ScriptRunner>(
        mImpl->script->steps, [impl = mImpl.get()](const std::string& cp1252) {
            impl->stepErrors.push_back(kzt::cp1252ToUtf8(cp1252));
        });
    mImpl->runner->start();
}

CallRecorder::~CallRecorder() = default;

void CallRecorder::finish()
{
    if (mImpl->runner)
        mImpl->runner->stop();
}

const std::vector<ShownMessage>& CallRecorder::messages() const
{
    return mImpl->messages;
}

const std::vector<std::string>& CallRecorder::stepErrors() const
{
    return mImpl->stepErrors;
}

bool CallRecorder::leftOpen() const
{
    return mImpl->runner && mImpl->runner->leftOpen();
}

} // namespace host
