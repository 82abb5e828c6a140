#include "tests/support/fakepresentation.h"

#include "platform/text.h"

namespace kzt::test {

FakePresentation::FakePresentation() : mPrevious(host::setPresentation(this)) {}

FakePresentation::~FakePresentation()
{
    host::setPresentation(mPrevious);
}

std::vector<std::string> FakePresentation::messageTexts() const
{
    std::vector<std::string> texts;
    texts.reserve(messages.size());
    for (const auto& m : messages)
        texts.push_back(kzt::cp1252ToUtf8(m.text));
    return texts;
}

void FakePresentation::message(const host::MessageBoxRequest& request)
{
    messages.push_back(request);
}

bool FakePresentation::search(kzt::ClientDataSet& cds, const std::string& title)
{
    (void)title;
    ++searchCalls;
    if (searchAnswers.empty())
        return false;
    const std::optional<std::string> code = searchAnswers.front();
    searchAnswers.pop_front();
    if (!code)
        return false;
    // The list shows every row whatever the caller filtered, as the operator would see it.
    cds.setFiltered(false);
    return cds.locate("CDOCORR", *code);
}

std::string FakePresentation::editText(const std::string& prompt, const std::string& initial)
{
    editorCalls.emplace_back(prompt, initial);
    if (editorAnswers.empty())
        return initial;
    std::string answer = editorAnswers.front();
    editorAnswers.pop_front();
    return answer;
}

std::optional<std::string> FakePresentation::keypad(const host::KeypadRequest& request,
                                                    const std::string& initial)
{
    (void)initial;
    keypadCalls.push_back(request);
    if (keypadAnswers.empty())
        return std::nullopt;
    std::optional<std::string> answer = keypadAnswers.front();
    keypadAnswers.pop_front();
    return answer;
}

void FakePresentation::fiscalMenu()
{
    ++fiscalMenuCalls;
}

std::optional<std::string> FakePresentation::priceAnswer()
{
    if (priceAnswers.empty())
        return std::nullopt;
    std::string answer = priceAnswers.front();
    priceAnswers.pop_front();
    return answer;
}

void FakePresentation::trace(const std::string& call, const std::vector<std::string>& args)
{
    traced.emplace_back(call, args);
}

} // namespace kzt::test
