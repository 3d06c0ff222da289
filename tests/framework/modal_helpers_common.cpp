// The helpers that need no backend: the failing answerer, the message-box recorder, the built-in templates.
#include <gtest/gtest.h>

#include <string>

#include "framework/modal_helpers.h"

void InstallFailingMessageBoxAnswerer() {
    SetMessageBoxAnswerer([](const MessageBoxRequest& request) {
        ADD_FAILURE() << "unexpected message box: " << std::string(request.text.begin(), request.text.end());
        return IDOK;
    });
}

MessageBoxRecorder::MessageBoxRecorder(int answer) {
    SetMessageBoxAnswerer([this, answer](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return answer;
    });
}

MessageBoxRecorder::MessageBoxRecorder(std::function<int(const MessageBoxRequest&)> answerer) {
    SetMessageBoxAnswerer([this, answerer](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return answerer(request);
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { InstallFailingMessageBoxAnswerer(); }

DialogTemplate BuiltInTemplate(int id) {
    const DialogTemplate* found = CResourceModule::BuiltIn().FindDialog(id);
    EXPECT_NE(found, nullptr) << "dialog " << id;
    return found != nullptr ? *found : DialogTemplate{};
}
