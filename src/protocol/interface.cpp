#include "protocol/interface.h"

CInterface::~CInterface() = default;

int CInterface::GetSetting() { return m_nSetting; }

void CInterface::SetSetting(int value) { m_nSetting = value; }
