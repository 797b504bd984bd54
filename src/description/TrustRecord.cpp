#include "description/TrustRecord.h"

#include "description/ReleaseControl.h"

TrustPins ReadTrustPins(const CLocalUpdateInfo& record)
{
    return TrustPins{record.m_strPublisherRoot.Str(), record.m_strPublisherKey.Str()};
}

CString ChosenSectionOf(const CRemoteUpdateInfo& description, const CString& client, const CString& channel)
{
    const CString channelSection = ClientSectionName(client, channel);
    return ChooseClientSection(client, channel, !description.ReadString(channelSection, L"MajorVerson").IsEmpty());
}

void LoadChosenSection(CRemoteUpdateInfo& description, const CLocalUpdateInfo& record)
{
    description.LoadSection(ChosenSectionOf(description, record.m_strOEMClientName, record.m_strChannel));
}

ClientTrustFacts ReadClientTrustFacts(const CRemoteUpdateInfo& description)
{
    return ClientTrustFacts{description.GetExpires().Str(),
                            description.ReadString(description.m_strSection, L"Serial").Str()};
}

CString ReadRollout(const CRemoteUpdateInfo& description)
{
    return description.ReadString(description.m_strSection, L"Rollout");
}

CString ReadRecall(const CRemoteUpdateInfo& description)
{
    return description.ReadString(description.m_strSection, L"Recall");
}
