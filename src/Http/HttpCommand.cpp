#include "Http/HttpCommand.h"

#include <memory>

#include "Http/HttpEngines.h"
#include "Runtime/IBufferStream.h"
#include "Runtime/Log.h"
#include "Runtime/OBufferStream.h"

CHttpCommand::CHttpCommand() : CHttpBase(CommandWorker(), CommandManager()) {}

bool CHttpCommand::Start() {
  TraceLogger::Instance().Log(LOG_INFO, L"CHttpCommand::Start");
  if (running) return false;
  auto* transfer = new CCurlHttp(Manager());
  SetTransfer(transfer);
  transfer->SetSink(std::make_unique<OBufferStream>(kMaxResponseBytes));
  if (method == 2 && !body.empty() && body.size() <= UINT32_MAX) {
    transfer->SetSource(
        std::make_unique<IBufferStream>(static_cast<uint32_t>(body.size()), body.data()));
  }
  return CHttpBase::Start();
}

void CHttpCommand::OnHttpCode(const HttpStatusNotice& notice) {
  SetResult(kResultHttp, notice.status);
}

void CHttpCommand::Done(CURLcode curlCode) {
  if (!running) return;
  std::string response;
  SetResult(kResultCurl, curlCode);
  // The worker detached the transfer before reporting it done, so its sink
  // is safe to read here.
  if (OBaseStream* sink = Http()->Sink()) {
    if (sink->ErrorCode() != 0 || sink->ErrorType() != 0) {
      SetResult(sink->ErrorType(), sink->ErrorCode());
    }
    if (auto* buffer = dynamic_cast<OBufferStream*>(sink); buffer && buffer->Size() > 0) {
      response.assign(reinterpret_cast<const char*>(buffer->Data()), buffer->Size());
    }
  }
  Stop();
  const HttpResult result = ResultCode();
  ClearResult();
  const std::wstring currentUrl = GetUrl();
  if (attempts <= static_cast<uint32_t>(maxRetries) && result.type == kResultCurl &&
      result.code != 0) {
    LOG_CONSOLE(LOG_INFO, L"CHttpCommand::Done() 重试.... code:%d errtype:%d  url:%s ", result.code,
                result.type, currentUrl.c_str());
    retryWait = true;
    retryTick = ::GetTickCount();
    Resubmit();
    return;
  }
  if (result.type != kResultOk) {
    LOG_CONSOLE(LOG_INFO, L"CHttpCommand::Done()  code:%d errtype:%d  url:%s ", result.code,
                result.type, currentUrl.c_str());
  }
  attempts = 0;
  if (completion != nullptr) completion(userData, response, result.type, result.code);
}
