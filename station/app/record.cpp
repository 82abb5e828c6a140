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
    return mAnswers->takeSearch(cds);
}

std::string StationPresentation::editText(const std::string& prompt, const std::string& initial)
{
    if (!mAnswers)
        return host::widgetPresentation().editText(prompt, initial);
    return mAnswers->takeEditor(initial);
}

std::optional<std::string> StationPresentation::keypad(const host::KeypadRequest& request,
                                                       const std::string& initial)
{
    if (!mAnswers)
        return host::widgetPresentation().keypad(request, initial);
    return mAnswers->takeKeypad();
}

void StationPresentation::fiscalMenu()
{
    if (!mAnswers)
        host::widgetPresentation().fiscalMenu();
}

std::optional<std::string> StationPresentation::priceAnswer()
{
    return mAnswers ? mAnswers->takePrice() : std::nullopt;
}

void StationPresentation::trace(const std::string& call, const std::vector<std::string>& args)
{
    mRecord.trace.emplace_back(call, args);
}

} // namespace station
