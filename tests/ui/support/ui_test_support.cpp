#include "ui_test_support.h"

namespace korvane::ui::test {

namespace {

QString next_answer(std::deque<QString>& queue) {
    if (queue.empty()) return {};
    QString answer = queue.front();
    queue.pop_front();
    return answer;
}

}  // namespace

QString queued_file_dialogs::open_file_dialog(QWidget*, const QString& filter, const QString& title,
                                              const QString& initial_directory) {
    calls.push_back({dialog_kind::open, filter, title, initial_directory});
    return next_answer(open_answers);
}

QString queued_file_dialogs::save_file_dialog(QWidget*, const QString& filter, const QString& title,
                                              const QString& initial_directory) {
    calls.push_back({dialog_kind::save, filter, title, initial_directory});
    return next_answer(save_answers);
}

QString queued_file_dialogs::browse_for_folder(QWidget*, const QString& title,
                                               const QString& start_folder) {
    calls.push_back({dialog_kind::folder, QString(), title, start_folder});
    return next_answer(folder_answers);
}

}  // namespace korvane::ui::test
