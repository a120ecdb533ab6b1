#include "RemarkaApp.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QScreen>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "AnnFile.h"
#include "CommentText.h"
#include "CommentType.h"
#include "Desktop.h"
#include "MainFrame.h"
#include "NamedFile.h"
#include "Places.h"
#include "Registration.h"
#include "RemarkaDoc.h"
#include "RemarkaStrings.h"
#include "WindowPlacement.h"

namespace vokar::comment {
namespace {

namespace fs = std::filesystem;

std::filesystem::path ProgramPath() {
  std::error_code error;
  const auto path = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path("remarka") : path;
}

QString Text(int id) { return Strings().Text(id); }
QString Name(const fs::path& file) { return QString::fromStdString(app::DisplayName(file.string())); }

// Why a comment could not be read, as the user is told.
QString ReadFailure(const AnnRead& read) {
  switch (read.error) {
    case AnnError::File: {
      const auto cause = app::FileCauseText(read.fileError);
      return cause.empty() ? QStringLiteral("Nie można odczytać pliku.") : QString::fromUtf8(cause.data(), cause.size());
    }
    case AnnError::NoLength:
      return Text(IDS_DAMAGED_COMMENT).arg(QStringLiteral("ma tylko %1 bajtów, mniej niż 4 bajty długości tekstu")
                                               .arg(read.present));
    case AnnError::TooLong:
      return Text(IDS_DAMAGED_COMMENT)
          .arg(QStringLiteral("długość tekstu %1 przekracza %2 bajtów").arg(read.declared).arg(kMaxCommentBytes));
    case AnnError::TruncatedText:
      return Text(IDS_DAMAGED_COMMENT)
          .arg(QStringLiteral("zapowiada %1 bajtów tekstu, a zawiera %2")
                   .arg(read.declared)
                   .arg(read.present - kLengthFieldSize));
    case AnnError::None:
      break;
  }
  return {};
}

// The characters a save would lose, for the warning: each once, at most 20.
QString UnheldList(const std::u32string& characters) {
  QStringList shown;
  for (std::size_t i = 0; i < characters.size() && i < 20; ++i) {
    const char32_t c = characters[i];
    shown << QString::fromUcs4(&c, 1);
  }
  if (characters.size() > 20) shown << QStringLiteral("…");
  return shown.join(QLatin1Char(' '));
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error)) return true;
  return a.lexically_normal() == b.lexically_normal();
}

}  // namespace

fs::path FullPath(const std::string& file) {
  std::error_code error;
  const auto full = fs::absolute(file, error);
  return error ? fs::path(file) : full.lexically_normal();
}

int RunRegistration(bool unregister) {
  const RegistrationReport report = unregister ? UnregisterCommentType() : RegisterCommentType(ProgramPath());
  for (const auto& problem : report.problems) std::fprintf(stderr, "remarka: %s\n", problem.c_str());
  return report.ok ? 0 : 1;
}

int RunWriteIcons(const std::string& folder) {
  if (folder.empty()) {
    std::fputs(UsageText(), stderr);
    return 2;
  }
  std::vector<std::string> problems;
  const bool written = WriteIcons(folder, problems);
  for (const auto& problem : problems) std::fprintf(stderr, "remarka: %s\n", problem.c_str());
  return written ? 0 : 1;
}

CRemarkaApp::CRemarkaApp(app::CApplication& application)
    : application_(application), client_(SpeechClientProgram{std::string(kApplicationName), ID_QUIT}) {}

CRemarkaApp::~CRemarkaApp() {
  Exit();
  frame_.reset();
}

CRemarkaApp::Instance CRemarkaApp::TakeSingleInstance(const CommandLine& line) {
  auto semaphore = named::NamedSemaphore::Create(kInstanceSemaphore);
  if (semaphore && !semaphore->AlreadyExisted()) {
    instance_.emplace(std::move(semaphore.value()));
    return Instance::First;
  }
  const Verb verb = line.embedding ? Verb::Read : Verb::Open;
  const std::string path = line.file.empty() ? std::string() : FullPath(line.file).string();
  // Serving a comment without one names nothing to do.
  if (line.embedding && path.empty()) return Instance::HandedOver;
  if (!semaphore) {
    // Without the runtime folder there is no instance to find either.
    return HandOver(verb, path) ? Instance::HandedOver : Instance::First;
  }
  // The running program takes the request, or it is just ending: then this
  // start becomes the running one as soon as the semaphore is free.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHandOverWaitMs);
  while (true) {
    if (HandOver(verb, path)) return Instance::HandedOver;
    auto again = named::NamedSemaphore::Create(kInstanceSemaphore);
    if (again && !again->AlreadyExisted()) {
      instance_.emplace(std::move(again.value()));
      return Instance::First;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Message(Text(IDS_NOT_ANSWERING).arg(path.empty() ? Text(IDS_APP_TITLE) : Name(path)).toStdString(),
          msgbox::Icon::Stop);
  return Instance::Failed;
}

bool CRemarkaApp::HandOver(Verb verb, const std::string& path) {
  const desktop::WindowHandle running = desktop::FindWindow(Strings().Utf8(IDS_APP_TITLE));
  if (!running) return false;
  const auto sent = desktop::SendMessage(running, WM_COMMENT_REQUEST, static_cast<std::uint64_t>(verb), 0, path);
  return sent.ok() && sent.result == 1;
}

int CRemarkaApp::Run(const CommandLine& line) {
  if (Start(line)) QApplication::exec();
  Exit();
  return exitCode_;
}

bool CRemarkaApp::Start(const CommandLine& line) {
  // Asked to start minimised, which replaces the saved show command; the
  // programs this one starts do not inherit the request.
  const bool startMinimised = TakeShowMinimised();
  switch (TakeSingleInstance(line)) {
    case Instance::HandedOver: return false;
    case Instance::Failed:
      exitCode_ = 1;
      return false;
    case Instance::First: break;
  }
  showCmd_ = settings_.ReadInt("Settings", "ShowCmd", kShowMaximized);
  savedShowCmd_ = showCmd_;
  recent_.Load(settings_);

  std::string error;
  frame_ = CMainFrame::Create(*this, error);
  if (!frame_) {
    Message(Strings().Utf8(IDS_NO_DESKTOP) + "\n" + error, msgbox::Icon::Stop);
    exitCode_ = 1;
    return false;
  }
  // A request to end from outside takes the road of the exit command.
  application_.SetMainWindow(frame_.get());
  application_.SetQuitRequestHandler([this] {
    if (frame_ && !ending_) frame_->Dispatch(ID_APP_EXIT);
  });
  if (!client_.Connect(frame_->busHandle(), frame_.get())) {
    exitCode_ = 1;
    return false;
  }

  embedding_ = line.embedding;
  maximiseAtShow_ = frame_->RestorePlacement(ParseWindowPos(settings_.ReadString("Global", "WindowPos", "")));
  font_ = ReadFontSettings(settings_);
  savedFont_ = font_;

  if (embedding_) {
    if (!line.file.empty()) TakeRequest(Verb::Read, FullPath(line.file));
    if (requests_.empty()) return false;
  } else {
    const RegistrationReport report = RegisterCommentType(ProgramPath());
    for (const auto& problem : report.problems) std::fprintf(stderr, "remarka: %s\n", problem.c_str());
    if (line.file.empty() || OpenComment(FullPath(line.file)) == nullptr) {
      if (line.file.empty()) NewComment();
    }
    ShowFrame(startMinimised);
  }
  started_ = true;
  QMetaObject::invokeMethod(this, [this] { ProcessRequests(); }, Qt::QueuedConnection);
  return true;
}

bool CRemarkaApp::TakeRequest(Verb verb, const fs::path& file) {
  if (ending_) return false;
  requests_.push_back({verb, file});
  QMetaObject::invokeMethod(this, [this] { ProcessRequests(); }, Qt::QueuedConnection);
  return true;
}

void CRemarkaApp::ProcessRequests() {
  // Speaking runs the event loop while it waits for the server, so a request
  // may arrive meanwhile: it waits in the queue for this loop.
  if (processing_ || !started_) return;
  processing_ = true;
  while (!requests_.empty() && !ending_) {
    const Request request = requests_.front();
    requests_.pop_front();
    if (request.verb == Verb::Read) {
      ReadFileAloud(request.file);
    } else {
      ShowFrame();
      if (!request.file.empty()) {
        OpenComment(request.file);
      } else if (Comments().empty()) {
        NewComment();
      }
    }
  }
  processing_ = false;
  // Started only to read comments aloud: done once they are with the server.
  if (embedding_ && !frameShown_ && requests_.empty() && !ending_) {
    ending_ = true;
    QCoreApplication::quit();
  }
}

void CRemarkaApp::ShowFrame(bool minimised) {
  if (frameShown_) {
    // Back from the task bar as it was before: maximised or normal.
    if (frame_->isMinimized()) frame_->setWindowState(frame_->windowState() & ~Qt::WindowMinimized);
  } else {
    frameShown_ = true;
    if (minimised) {
      // Started minimised: the saved placement waits for the restore.
      frame_->setWindowState(maximiseAtShow_ ? (Qt::WindowMinimized | Qt::WindowMaximized) : Qt::WindowMinimized);
      frame_->show();
      return;
    }
    if (maximiseAtShow_) {
      frame_->showMaximized();
    } else {
      frame_->show();
    }
  }
  frame_->raise();
  frame_->activateWindow();
}

void CRemarkaApp::Finish() {
  ending_ = true;
  if (frameShown_) settings_.WriteString("Global", "WindowPos", FormatWindowPos(frame_->CurrentPlacement()));
  QCoreApplication::quit();
}

void CRemarkaApp::Exit() {
  if (exited_) return;
  exited_ = true;
  ending_ = true;
  client_.Disconnect();
  textToRead_.reset();
  if (started_ || frame_) {
    WriteChangedFontSettings(settings_, font_, savedFont_);
    savedFont_ = font_;
    if (showCmd_ != savedShowCmd_ && settings_.WriteInt("Settings", "ShowCmd", showCmd_)) savedShowCmd_ = showCmd_;
    recent_.Save(settings_);
  }
  instance_.reset();
}

QWidget* CRemarkaApp::MessageOwner() const { return frameShown_ ? frame_.get() : nullptr; }

msgbox::Answer CRemarkaApp::Message(const std::string& utf8Text, msgbox::Icon icon, msgbox::Buttons buttons,
                                    msgbox::DefaultButton defaultButton) {
  return msgbox::ShowMessageBox(Strings().Utf8(IDS_APP_TITLE), utf8Text, icon, buttons, defaultButton, MessageOwner());
}

std::vector<CCommentFrame*> CRemarkaApp::Comments() const {
  std::vector<CCommentFrame*> comments;
  if (!frame_) return comments;
  for (QMdiSubWindow* window : frame_->area().subWindowList()) {
    if (auto* comment = dynamic_cast<CCommentFrame*>(window)) comments.push_back(comment);
  }
  return comments;
}

CCommentFrame* CRemarkaApp::FindComment(const fs::path& file) const {
  for (CCommentFrame* comment : Comments()) {
    if (!comment->doc().path().empty() && SameFile(comment->doc().path(), file)) return comment;
  }
  return nullptr;
}

CCommentFrame* CRemarkaApp::CreateCommentFrame() {
  CCommentFrame::Hooks hooks;
  hooks.canClose = [this](CCommentFrame& frame) { return CanCloseComment(frame); };
  hooks.resized = [this](CCommentFrame& frame) {
    RecordShowCmd(frame.isMaximized() ? kShowMaximized : kShowNormal);
  };
  auto* frame = new CCommentFrame(std::move(hooks));
  frame->view().setFont(FontFromSettings(font_, frame->view().font()));
  frame_->AddComment(frame);
  return frame;
}

void CRemarkaApp::ShowComment(CCommentFrame* frame) {
  frame->UpdateCaption();
  switch (showCmd_) {
    case kShowMaximized: frame->showMaximized(); break;
    case kShowMinimized: frame->showMinimized(); break;
    default: frame->showNormal(); break;
  }
  frame_->area().setActiveSubWindow(frame);
  frame->view().setFocus();
  frame_->UpdateCommands();
  frame_->UpdateTitle();
}

CCommentFrame* CRemarkaApp::NewComment() {
  CCommentFrame* frame = CreateCommentFrame();
  frame->doc().SetTitle(QString::fromUtf8(kDocumentName.data(), kDocumentName.size()) +
                        QString::number(++untitledCount_));
  ShowComment(frame);
  return frame;
}

CCommentFrame* CRemarkaApp::OpenComment(const fs::path& file) {
  const fs::path full = FullPath(file.string());
  if (CCommentFrame* open = FindComment(full)) {
    frame_->area().setActiveSubWindow(open);
    return open;
  }
  const AnnRead read = ReadAnnFile(full);
  if (!read.ok()) {
    Message(Text(IDP_FAILED_TO_OPEN_DOC).arg(Name(full), ReadFailure(read)).toStdString(), msgbox::Icon::Stop);
    return nullptr;
  }
  CCommentFrame* frame = CreateCommentFrame();
  frame->view().setPlainText(QString::fromStdString(ToEditorText(read.text)));
  frame->doc().SetPath(full);
  frame->SetModified(false);
  ShowComment(frame);
  recent_.Add(full);
  frame_->UpdateRecentFiles();
  return frame;
}

void CRemarkaApp::OpenRecentFile(std::size_t index) {
  if (index >= recent_.files().size()) return;
  const fs::path file = recent_.files()[index];
  if (OpenComment(file) == nullptr) {
    recent_.Remove(index);
    frame_->UpdateRecentFiles();
  }
}

bool CRemarkaApp::SaveComment(CCommentFrame& frame) {
  if (frame.doc().path().empty()) return SaveCommentAs(frame);
  return SaveCommentTo(frame, frame.doc().path());
}

bool CRemarkaApp::SaveCommentAs(CCommentFrame& frame) {
  const QString filter = QString::fromUtf8(kFilterName.data(), kFilterName.size());
  // A new comment is offered where the user keeps documents, never in the
  // folder the program happened to be started in.
  const QString start =
      frame.doc().path().empty()
          ? QString::fromStdString((suite::DocumentsDir() / frame.doc().title().toStdString()).string()) +
                QString::fromUtf8(kExtension.data(), static_cast<qsizetype>(kExtension.size()))
          : QString::fromStdString(frame.doc().path().string());
  QString chosen = QFileDialog::getSaveFileName(frame_.get(), Text(IDS_SAVE_CAPTION), start,
                                                filter + ";;" + Text(IDS_ALL_FILES));
  if (chosen.isEmpty()) return false;
  // A name typed without an extension gets the comment's.
  if (QFileInfo(chosen).suffix().isEmpty()) chosen += QString::fromUtf8(kExtension.data());
  return SaveCommentTo(frame, chosen.toStdString());
}

bool CRemarkaApp::SaveCommentTo(CCommentFrame& frame, const fs::path& file) {
  const FileText text = ToFileText(frame.view().toPlainText().toStdString());
  if (!CanStore(text.cp1250)) {
    // A longer comment could be written but never read again.
    Message(Text(IDS_TEXT_TOO_LONG).arg(Name(file)).arg(text.cp1250.size()).toStdString(), msgbox::Icon::Stop);
    return false;
  }
  if (!text.lossless() && Message(Text(IDS_CHARACTERS_LOST).arg(UnheldList(text.unheld)).toStdString(),
                                  msgbox::Icon::Warning, msgbox::Buttons::YesNo,
                                  msgbox::DefaultButton::Second) != msgbox::Answer::Yes)
    return false;
  const AnnSave save = WriteAnnFile(file, text.cp1250);
  if (!save.ok()) {
    Message(Text(IDP_FAILED_TO_SAVE_DOC).arg(Name(file), QString::fromStdString(save.reason)).toStdString(),
            msgbox::Icon::Stop);
    return false;
  }
  // The comment shows what its file now holds.
  if (!text.lossless()) frame.view().ReplaceCharacters(text.unheld);
  frame.doc().SetPath(FullPath(file.string()));
  frame.UpdateCaption();
  frame.SetModified(false);
  recent_.Add(frame.doc().path());
  frame_->UpdateRecentFiles();
  frame_->UpdateTitle();
  return true;
}

bool CRemarkaApp::CanCloseComment(CCommentFrame& frame) {
  if (ending_ || !frame.IsModified()) return true;
  switch (Message(Text(IDP_ASK_TO_SAVE).arg(frame.doc().title()).toStdString(), msgbox::Icon::Warning,
                  msgbox::Buttons::YesNoCancel)) {
    case msgbox::Answer::Yes: return SaveComment(frame);
    case msgbox::Answer::No: return true;
    default: return false;
  }
}

bool CRemarkaApp::CanCloseAll() {
  for (CCommentFrame* comment : Comments()) {
    if (!CanCloseComment(*comment)) return false;
  }
  return true;
}

void CRemarkaApp::ReadComment() {
  if (frame_->ActiveComment() == nullptr) return;
  textToRead_.reset();
  frame_->Dispatch(ID_GET_TEXT_TO_READ);
  client_.BreakSpeech();
  // The text stays with the program until the next reading or the exit.
  if (textToRead_) client_.Speak(*textToRead_, BreakFirst::No);
}

void CRemarkaApp::PauseSpeech() {
  if (frame_->ActiveComment() != nullptr) client_.Execute("pause");
}

void CRemarkaApp::ContinueSpeech() {
  if (frame_->ActiveComment() != nullptr) client_.Execute("read");
}

void CRemarkaApp::BreakSpeech() { client_.BreakSpeech(); }

void CRemarkaApp::ShowSynthesisParameters() {
  const desktop::WindowHandle server = desktop::FindWindow(Strings().Utf8(IDS_SERVER_TITLE));
  if (server) desktop::PostMessage(server, WM_SERVER_SHOW, 0, 0);
}

void CRemarkaApp::TestSynthesis() {
  textToRead_ = Strings().Cp1250(IDS_TEST_TEXT);
  client_.Speak(*textToRead_, BreakFirst::No);
  textToRead_.reset();
}

void CRemarkaApp::ChooseFont() {
  CCommentFrame* frame = frame_->ActiveComment();
  if (frame == nullptr) return;
  bool chosen = false;
  const QFont font = QFontDialog::getFont(&chosen, frame->view().font(), frame_.get(), Text(IDS_FONT_CAPTION));
  if (chosen) ApplyFont(*frame, font);
}

void CRemarkaApp::ApplyFont(CCommentFrame& frame, const QFont& font) {
  // The other open comments keep their fonts; comments opened later get this one.
  frame.view().setFont(font);
  const QScreen* screen = frame_->screen();
  font_ = SettingsFromFont(font, screen != nullptr ? screen->logicalDotsPerInchY() : 96.0);
}

void CRemarkaApp::ReadFileAloud(const fs::path& file) {
  textToRead_.reset();
  if (CCommentFrame* open = FindComment(file)) {
    textToRead_ = CapTextToRead(open->view().FileText());
  } else {
    const AnnRead read = ReadAnnFile(file);
    if (!read.ok()) {
      Message(Text(IDP_FAILED_TO_OPEN_DOC).arg(Name(file), ReadFailure(read)).toStdString(), msgbox::Icon::Stop);
      exitCode_ = 1;
      return;
    }
    textToRead_ = CapTextToRead(read.text);
  }
  frame_->Dispatch(ID_BREAK_SPEECH);
  if (textToRead_ && client_.Speak(*textToRead_, BreakFirst::No) == kSpeakError) exitCode_ = 1;
}

}  // namespace vokar::comment
