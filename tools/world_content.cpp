#include "tools/world_content.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string_view>

namespace mailstow {
namespace {

constexpr size_t kBinaryPiece = 64 * 1024;

constexpr std::array<std::string_view, 12> kFirstNames = {"Anna",  "Ben",   "Clara", "David",
                                                          "Elena", "Frank", "Grace", "Henry",
                                                          "Iris",  "Jonas", "Kate",  "Leo"};
constexpr std::array<std::string_view, 10> kLastNames = {
    "Adler", "Baker", "Costa", "Dubois", "Evans", "Fischer", "Garcia", "Hansen", "Ito", "Jensen"};
constexpr std::array<std::string_view, 8> kDomains = {
    "example.com",      "example.org",        "example.net",      "mail.example.com",
    "post.example.org", "office.example.net", "home.example.com", "lists.example.org"};
constexpr std::array<std::string_view, 14> kSubjects = {"Meeting on Thursday",
                                                        "Holiday photos",
                                                        "Invoice for March",
                                                        "Re: project plan",
                                                        "Lunch tomorrow?",
                                                        "Your order has shipped",
                                                        "Minutes of the board meeting",
                                                        "Fw: funny story",
                                                        "Quarterly report",
                                                        "Re: Re: weekend plans",
                                                        "Newsletter - spring edition",
                                                        "Question about the contract",
                                                        "Birthday party",
                                                        "Updated phone numbers"};
constexpr std::array<std::string_view, 16> kSentences = {
    "Thanks for your message, I will get back to you soon.",
    "Please find the documents we talked about attached.",
    "The meeting has been moved to the small conference room.",
    "Could you have a look at the figures before Friday?",
    "We are looking forward to seeing you all next week.",
    "Let me know if anything is unclear.",
    "The train was late again, so I missed the first part.",
    "I have updated the list with the new addresses.",
    "The weather here has been lovely all week.",
    "Remember to bring the signed forms with you.",
    "Our office will be closed on the public holiday.",
    "I think the second option is the better one.",
    "Best wishes to everyone at home.",
    "The package should arrive within three working days.",
    "Here are the notes from yesterday's call.",
    "Can we talk about this on the phone later?"};
constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <size_t N>
std::string_view Pick(WorldRandom& random, const std::array<std::string_view, N>& choices) {
  return random.Pick(std::span<const std::string_view>(choices));
}

std::string Two(int number) {
  return std::string(1, static_cast<char>('0' + number / 10)) +
         static_cast<char>('0' + number % 10);
}

std::string Address(WorldRandom& random, std::string* display) {
  const std::string first(Pick(random, kFirstNames));
  const std::string last(Pick(random, kLastNames));
  *display = first + " " + last;
  std::string local = first + "." + last;
  std::transform(local.begin(), local.end(), local.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return local + "@" + std::string(Pick(random, kDomains));
}

// One message as a mail store holds it: headers, a blank line, a body of a few paragraphs.
std::string MailMessage(WorldRandom& random, int number) {
  std::string from_name, to_name;
  const std::string from = Address(random, &from_name);
  const std::string to = Address(random, &to_name);
  std::string message;
  message += "From: \"" + from_name + "\" <" + from + ">\r\n";
  message += "To: \"" + to_name + "\" <" + to + ">\r\n";
  message += "Subject: " + std::string(Pick(random, kSubjects)) + "\r\n";
  message += "Date: " + std::string(Pick(random, kDays)) + ", " +
             std::to_string(random.Between(1, 28)) + " " + std::string(Pick(random, kMonths)) +
             " " + std::to_string(random.Between(1999, 2006)) + " " + Two(random.Between(0, 23)) +
             ":" + Two(random.Between(0, 59)) + ":" + Two(random.Between(0, 59)) + " +0100\r\n";
  message += "Message-ID: <" + std::to_string(random.Next() % 1000000000) + "." +
             std::to_string(number) + "@" + from.substr(from.find('@') + 1) + ">\r\n";
  message += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"iso-8859-1\"\r\n\r\n";
  message += "Hello " + to_name.substr(0, to_name.find(' ')) + ",\r\n\r\n";
  const int paragraphs = random.Between(1, 4);
  for (int p = 0; p < paragraphs; ++p) {
    const int sentences = random.Between(1, 5);
    for (int s = 0; s < sentences; ++s) {
      message += std::string(Pick(random, kSentences)) + (s + 1 < sentences ? " " : "\r\n");
    }
    message += "\r\n";
  }
  message += from_name + "\r\n\r\n";
  return message;
}

}  // namespace

ContentStream::ContentStream(const FileSpec& file)
    : file_(file), random_(file.content_seed, "content") {}

void ContentStream::Refill() {
  pending_offset_ = 0;
  if (file_.kind == ContentKind::kMailbox) {
    pending_ = MailMessage(random_, ++message_number_);
    return;
  }
  pending_.resize(kBinaryPiece);
  for (size_t i = 0; i < kBinaryPiece; i += 8) {
    const uint64_t word = random_.Next();
    std::memcpy(pending_.data() + i, &word, 8);
  }
}

size_t ContentStream::Read(char* buffer, size_t size) {
  if (file_.kind == ContentKind::kText) {
    const size_t take = std::min<uint64_t>(size, file_.text.size() - produced_);
    std::memcpy(buffer, file_.text.data() + produced_, take);
    produced_ += take;
    return take;
  }
  size_t copied = 0;
  while (copied < size && produced_ < file_.size) {
    if (pending_offset_ == pending_.size()) Refill();
    const size_t take = std::min<uint64_t>(
        {size - copied, pending_.size() - pending_offset_, file_.size - produced_});
    std::memcpy(buffer + copied, pending_.data() + pending_offset_, take);
    copied += take, pending_offset_ += take, produced_ += take;
  }
  return copied;
}

std::string ContentOf(const FileSpec& file) {
  ContentStream stream(file);
  std::string content;
  char piece[4096];
  while (const size_t got = stream.Read(piece, sizeof(piece))) content.append(piece, got);
  return content;
}

}  // namespace mailstow
