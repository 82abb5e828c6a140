#include "station/app/record.h"

namespace station {

StationPresentation::StationPresentation(CallRecord& record, Answers* answers)
    : mRecord(record), mAnswers(answers), mPrevious(host::setPresentation(this))
{}

StationPresentation::~StationPresentation()
{
    host::setPresentation(mPrevious);
}

void StationPresentation::message(const host::MessageBoxRequest& request)
{
    mRecord.messages.push_back(request);
    if (!mAnswers)
        host::widgetPresentation().message(request);
}

bool StationPresentation::search(kzt::ClientDataSet& cds, const std::string& title)
{
    if (!mAnswers)
        return host::widgetPresentation().search(cds, title);
    if (mAnswers->search.empty())
        return false;
    const std::optional<std::string> code = mAnswers->search.front();
    mAnswers->search.pop_front();
    return code && cds.locate("CDOCORR", *code);
}

std::string StationPresentation::editText(const std::string& prompt, const std::string& initial)
{
    if (!mAnswers)
        return host::widgetPresentation().editText(prompt, initial);
    if (mAnswers->editor.empty())
        return initial;
    std::string answer = std::move(mAnswers->editor.front());
    mAnswers->editor.pop_front();
    return answer;
}

std::optional<std::string> StationPresentation::keypad(const host::KeypadRequest& request,
                                                       const std::string& initial)
{
    if (!mAnswers)
        return host::widgetPresentation().keypad(request, initial);
    if (mAnswers->keypad.empty())
        return std::nullopt;
    std::string answer = std::move(mAnswers->keypad.front());
    mAnswers->keypad.pop_front();
    return answer;
}

void StationPresentation::fiscalMenu()
{
    if (!mAnswers)
        host::widgetPresentation().fiscalMenu();
}

std::optional<std::string> StationPresentation::priceAnswer()
{
    if (!mAnswers || mAnswers->price.empty())
        return std::nullopt;
    std::string answer = std::move(mAnswers->price.front());
    mAnswers->price.pop_front();
    return answer;
}

void StationPresentation::trace(const std::string& call, const std::vector<std::string>& args)
{
    mRecord.trace.emplace_back(call, args);
}

} // namespace station
