#include "AgentConfig.h"

#include <QHostInfo>

#include <algorithm>

#include "Registry.h"

namespace vokar::netdde {
namespace {

using registry::Key;
using registry::Root;

std::string ReadString(const Key& key, const char* name, const std::string& fallback) {
  auto value = key.QueryString(name);
  return value.ok() ? value.value() : fallback;
}

int ReadInt(const Key& key, const char* name, int fallback, int low, int high) {
  auto value = key.QueryDword(name);
  if (!value.ok()) return fallback;
  return std::clamp(static_cast<int>(static_cast<std::int32_t>(value.value())), low, high);
}

bool ReadYesNo(const Key& key, const char* name, bool fallback) {
  auto value = key.QueryString(name);
  if (!value.ok()) return fallback;
  const std::string& text = value.value();
  if (text.empty()) return false;
  const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return (c >= '1' && c <= '9') || c == 't' || c == 'y';
}

}  // namespace

AgentConfig ReadAgentConfig() {
  AgentConfig config;
  auto opened = Key::Open(Root::LocalMachine, kAgentKey);
  if (!opened.ok()) return config;
  const Key& key = opened.value();
  config.enabled = ReadYesNo(key, "Enabled", config.enabled);
  config.address = ReadString(key, "Address", config.address);
  config.port = ReadInt(key, "Port", config.port, 0, 65535);  // 0: any free port
  config.allowedHosts = ReadString(key, "AllowedHosts", config.allowedHosts);
  config.key = ReadString(key, "Key", config.key);
  config.idleTimeoutSeconds = ReadInt(key, "IdleTimeout", config.idleTimeoutSeconds, kMinIdle, kMaxIdle);
  config.handshakeTimeoutSeconds =
      ReadInt(key, "HandshakeTimeout", config.handshakeTimeoutSeconds, kMinHandshake, kMaxHandshake);
  config.maxPeers = ReadInt(key, "MaxPeers", config.maxPeers, kMinPeers, kMaxPeers);
  config.announce = ReadYesNo(key, "Announce", config.announce);
  return config;
}

bool WriteAgentConfig(const AgentConfig& config, std::string& error) {
  auto created = Key::Create(Root::LocalMachine, kAgentKey);
  if (!created.ok()) {
    error = created.error().description;
    return false;
  }
  const Key& key = created.value();
  const std::pair<const char*, registry::Value> values[] = {
      {"Enabled", std::string(config.enabled ? "Yes" : "No")},
      {"Address", config.address},
      {"Port", static_cast<std::uint32_t>(config.port)},
      {"AllowedHosts", config.allowedHosts},
      {"Key", config.key},
      {"IdleTimeout", static_cast<std::uint32_t>(config.idleTimeoutSeconds)},
      {"HandshakeTimeout", static_cast<std::uint32_t>(config.handshakeTimeoutSeconds)},
      {"MaxPeers", static_cast<std::uint32_t>(config.maxPeers)},
      {"Announce", std::string(config.announce ? "Yes" : "No")},
  };
  for (const auto& [name, value] : values) {
    const auto status = key.Set(name, value);
    if (!status.ok()) {
      error = status.error().description;
      return false;
    }
  }
  return true;
}

QHostAddress Normalized(const QHostAddress& address) {
  bool mapped = false;
  const quint32 v4 = address.toIPv4Address(&mapped);
  if (mapped && address.protocol() == QAbstractSocket::IPv6Protocol) return QHostAddress(v4);
  return address;
}

std::optional<AllowList> AllowList::Parse(const std::string& text, std::string& error) {
  AllowList list;
  std::string entry;
  const auto take = [&]() -> bool {
    if (entry.empty()) return true;
    const QString item = QString::fromStdString(entry);
    entry.clear();
    if (item.contains('/')) {
      const auto subnet = QHostAddress::parseSubnet(item);
      if (subnet.first.isNull()) {
        error = "'" + item.toStdString() + "' is not a network";
        return false;
      }
      list.networks_.emplace_back(Normalized(subnet.first), subnet.second);
      return true;
    }
    const QHostAddress address(item);
    if (!address.isNull()) {
      const QHostAddress plain = Normalized(address);
      list.networks_.emplace_back(plain, plain.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128);
      return true;
    }
    const QHostInfo info = QHostInfo::fromName(item);
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
      error = "'" + item.toStdString() + "' is neither an address, a network nor a known host";
      return false;
    }
    for (const QHostAddress& found : info.addresses()) {
      const QHostAddress plain = Normalized(found);
      list.networks_.emplace_back(plain, plain.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128);
    }
    return true;
  };
  for (const char c : text) {
    if (c == ' ' || c == ',' || c == ';' || c == '\t' || c == '\n' || c == '\r') {
      if (!take()) return std::nullopt;
    } else {
      entry.push_back(c);
    }
  }
  if (!take()) return std::nullopt;
  return list;
}

bool AllowList::Allows(const QHostAddress& address) const {
  const QHostAddress plain = Normalized(address);
  return std::any_of(networks_.begin(), networks_.end(),
                     [&](const auto& network) { return plain.isInSubnet(network.first, network.second); });
}

}  // namespace vokar::netdde
