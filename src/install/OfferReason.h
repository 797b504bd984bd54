// Why an offer got its verdict, in words for the update log.
#pragma once

#include "framework/AfxString.h"
#include "install/OfferAnalysis.h"

// The comparison behind the verdict of JudgeOffer for these facts: the
// versions and service packs compared, and the rule that decided.
CString OfferVerdictReason(const COfferFacts& facts, EOfferVerdict verdict);
