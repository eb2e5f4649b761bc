// CosClLanguage: a language and an optional territory, as two indexes into
// the constant tables of cos_language.cpp (ISO 639 two-letter languages,
// ISO 3166 territories in the edition that still held the withdrawn codes).
//
// Callers parse it from a language text ("en-US", "en_us", "EN", "x-all"),
// print it, and build file names from its codes. Nothing here throws or
// allocates: unknown or malformed codes give the invalid indexes
// (CosEnLanguageInvalid, CosEnTerritoryInvalid), which every getter
// answers with "??" (or -1 for the numeric code).
//
// The enumerators are table indexes and reach callers' files through
// asNumber(): the rows are never reordered.
#ifndef COS_LANGUAGE_HPP
#define COS_LANGUAGE_HPP

#include <cstdint>
#include <iosfwd>

class CosClLanguage {
 public:
  enum CosEnLanguage : uint32_t {
    // clang-format off
    CosEnLanguageUnspecified = 0, CosEnLanguage_aa, CosEnLanguage_ab,
    CosEnLanguage_af, CosEnLanguage_am, CosEnLanguage_ar, CosEnLanguage_as,
    CosEnLanguage_ay, CosEnLanguage_az, CosEnLanguage_ba, CosEnLanguage_be,
    CosEnLanguage_bg, CosEnLanguage_bh, CosEnLanguage_bi, CosEnLanguage_bn,
    CosEnLanguage_bo, CosEnLanguage_br, CosEnLanguage_ca, CosEnLanguage_co,
    CosEnLanguage_cs, CosEnLanguage_cy, CosEnLanguage_da, CosEnLanguage_de,
    CosEnLanguage_dz, CosEnLanguage_el, CosEnLanguage_en, CosEnLanguage_eo,
    CosEnLanguage_es, CosEnLanguage_et, CosEnLanguage_eu, CosEnLanguage_fa,
    CosEnLanguage_fi, CosEnLanguage_fj, CosEnLanguage_fo, CosEnLanguage_fr,
    CosEnLanguage_fy, CosEnLanguage_ga, CosEnLanguage_gd, CosEnLanguage_gl,
    CosEnLanguage_gn, CosEnLanguage_gu, CosEnLanguage_ha, CosEnLanguage_he,
    CosEnLanguage_hi, CosEnLanguage_hr, CosEnLanguage_hu, CosEnLanguage_hy,
    CosEnLanguage_ia, CosEnLanguage_id, CosEnLanguage_ie, CosEnLanguage_ik,
    CosEnLanguage_is, CosEnLanguage_it, CosEnLanguage_iu, CosEnLanguage_iw,
    CosEnLanguage_ja, CosEnLanguage_jv, CosEnLanguage_ka, CosEnLanguage_kk,
    CosEnLanguage_kl, CosEnLanguage_km, CosEnLanguage_kn, CosEnLanguage_ko,
    CosEnLanguage_ks, CosEnLanguage_ku, CosEnLanguage_ky, CosEnLanguage_la,
    CosEnLanguage_ln, CosEnLanguage_lo, CosEnLanguage_lt, CosEnLanguage_lv,
    CosEnLanguage_mg, CosEnLanguage_mi, CosEnLanguage_mk, CosEnLanguage_ml,
    CosEnLanguage_mn, CosEnLanguage_mo, CosEnLanguage_mr, CosEnLanguage_ms,
    CosEnLanguage_mt, CosEnLanguage_my, CosEnLanguage_na, CosEnLanguage_nb,
    CosEnLanguage_ne, CosEnLanguage_nl, CosEnLanguage_nn, CosEnLanguage_no,
    CosEnLanguage_oc, CosEnLanguage_om, CosEnLanguage_or, CosEnLanguage_pa,
    CosEnLanguage_pl, CosEnLanguage_ps, CosEnLanguage_pt, CosEnLanguage_qu,
    CosEnLanguage_rm, CosEnLanguage_rn, CosEnLanguage_ro, CosEnLanguage_ru,
    CosEnLanguage_rw, CosEnLanguage_sa, CosEnLanguage_sd, CosEnLanguage_sg,
    CosEnLanguage_sh, CosEnLanguage_si, CosEnLanguage_sk, CosEnLanguage_sl,
    CosEnLanguage_sm, CosEnLanguage_sn, CosEnLanguage_so, CosEnLanguage_sq,
    CosEnLanguage_sr, CosEnLanguage_ss, CosEnLanguage_st, CosEnLanguage_su,
    CosEnLanguage_sv, CosEnLanguage_sw, CosEnLanguage_ta, CosEnLanguage_te,
    CosEnLanguage_tg, CosEnLanguage_th, CosEnLanguage_ti, CosEnLanguage_tk,
    CosEnLanguage_tl, CosEnLanguage_tn, CosEnLanguage_to, CosEnLanguage_tr,
    CosEnLanguage_ts, CosEnLanguage_tt, CosEnLanguage_tw, CosEnLanguage_ug,
    CosEnLanguage_uk, CosEnLanguage_ur, CosEnLanguage_uz, CosEnLanguage_vi,
    CosEnLanguage_vo, CosEnLanguage_wo, CosEnLanguage_xh, CosEnLanguage_yi,
    CosEnLanguage_yo, CosEnLanguage_za, CosEnLanguage_zh, CosEnLanguage_zu,
    // clang-format on
    CosEnLanguageInvalid  // 143: not a language of the table
  };
  enum CosEnTerritory : uint32_t {
    // clang-format off
    CosEnTerritoryUnspecified = 0, CosEnTerritory_aa, CosEnTerritory_ad,
    CosEnTerritory_ae, CosEnTerritory_af, CosEnTerritory_ag,
    CosEnTerritory_ai, CosEnTerritory_al, CosEnTerritory_am,
    CosEnTerritory_an, CosEnTerritory_ao, CosEnTerritory_aq,
    CosEnTerritory_ar, CosEnTerritory_as, CosEnTerritory_at,
    CosEnTerritory_au, CosEnTerritory_aw, CosEnTerritory_az,
    CosEnTerritory_ba, CosEnTerritory_bb, CosEnTerritory_bd,
    CosEnTerritory_be, CosEnTerritory_bf, CosEnTerritory_bg,
    CosEnTerritory_bh, CosEnTerritory_bi, CosEnTerritory_bj,
    CosEnTerritory_bm, CosEnTerritory_bn, CosEnTerritory_bo,
    CosEnTerritory_br, CosEnTerritory_bs, CosEnTerritory_bt,
    CosEnTerritory_bv, CosEnTerritory_bw, CosEnTerritory_by,
    CosEnTerritory_bz, CosEnTerritory_ca, CosEnTerritory_cc,
    CosEnTerritory_cf, CosEnTerritory_cg, CosEnTerritory_ch,
    CosEnTerritory_ci, CosEnTerritory_ck, CosEnTerritory_cl,
    CosEnTerritory_cm, CosEnTerritory_cn, CosEnTerritory_co,
    CosEnTerritory_cr, CosEnTerritory_cu, CosEnTerritory_cv,
    CosEnTerritory_cx, CosEnTerritory_cy, CosEnTerritory_cz,
    CosEnTerritory_de, CosEnTerritory_dj, CosEnTerritory_dk,
    CosEnTerritory_dm, CosEnTerritory_do, CosEnTerritory_dz,
    CosEnTerritory_ec, CosEnTerritory_ee, CosEnTerritory_eg,
    CosEnTerritory_eh, CosEnTerritory_er, CosEnTerritory_es,
    CosEnTerritory_et, CosEnTerritory_fi, CosEnTerritory_fj,
    CosEnTerritory_fk, CosEnTerritory_fm, CosEnTerritory_fo,
    CosEnTerritory_fr, CosEnTerritory_fx, CosEnTerritory_ga,
    CosEnTerritory_gb, CosEnTerritory_gd, CosEnTerritory_ge,
    CosEnTerritory_gf, CosEnTerritory_gh, CosEnTerritory_gi,
    CosEnTerritory_gl, CosEnTerritory_gm, CosEnTerritory_gn,
    CosEnTerritory_gp, CosEnTerritory_gq, CosEnTerritory_gr,
    CosEnTerritory_gs, CosEnTerritory_gt, CosEnTerritory_gu,
    CosEnTerritory_gw, CosEnTerritory_gy, CosEnTerritory_hk,
    CosEnTerritory_hm, CosEnTerritory_hn, CosEnTerritory_hr,
    CosEnTerritory_ht, CosEnTerritory_hu, CosEnTerritory_id,
    CosEnTerritory_ie, CosEnTerritory_il, CosEnTerritory_in,
    CosEnTerritory_io, CosEnTerritory_iq, CosEnTerritory_ir,
    CosEnTerritory_is, CosEnTerritory_it, CosEnTerritory_jm,
    CosEnTerritory_jo, CosEnTerritory_jp, CosEnTerritory_ke,
    CosEnTerritory_kg, CosEnTerritory_kh, CosEnTerritory_ki,
    CosEnTerritory_km, CosEnTerritory_kn, CosEnTerritory_kp,
    CosEnTerritory_kr, CosEnTerritory_kw, CosEnTerritory_ky,
    CosEnTerritory_kz, CosEnTerritory_la, CosEnTerritory_lb,
    CosEnTerritory_lc, CosEnTerritory_li, CosEnTerritory_lk,
    CosEnTerritory_lr, CosEnTerritory_ls, CosEnTerritory_lt,
    CosEnTerritory_lu, CosEnTerritory_lv, CosEnTerritory_ly,
    CosEnTerritory_ma, CosEnTerritory_mc, CosEnTerritory_md,
    CosEnTerritory_mg, CosEnTerritory_mh, CosEnTerritory_mk,
    CosEnTerritory_ml, CosEnTerritory_mm, CosEnTerritory_mn,
    CosEnTerritory_mo, CosEnTerritory_mp, CosEnTerritory_mq,
    CosEnTerritory_mr, CosEnTerritory_ms, CosEnTerritory_mt,
    CosEnTerritory_mu, CosEnTerritory_mv, CosEnTerritory_mw,
    CosEnTerritory_mx, CosEnTerritory_my, CosEnTerritory_mz,
    CosEnTerritory_na, CosEnTerritory_nc, CosEnTerritory_ne,
    CosEnTerritory_nf, CosEnTerritory_ng, CosEnTerritory_ni,
    CosEnTerritory_nl, CosEnTerritory_no, CosEnTerritory_np,
    CosEnTerritory_nr, CosEnTerritory_nu, CosEnTerritory_nz,
    CosEnTerritory_om, CosEnTerritory_pa, CosEnTerritory_pe,
    CosEnTerritory_pf, CosEnTerritory_pg, CosEnTerritory_ph,
    CosEnTerritory_pk, CosEnTerritory_pl, CosEnTerritory_pm,
    CosEnTerritory_pn, CosEnTerritory_pr, CosEnTerritory_pt,
    CosEnTerritory_pw, CosEnTerritory_py, CosEnTerritory_qa,
    CosEnTerritory_re, CosEnTerritory_ro, CosEnTerritory_ru,
    CosEnTerritory_rw, CosEnTerritory_sa, CosEnTerritory_sb,
    CosEnTerritory_sc, CosEnTerritory_sd, CosEnTerritory_se,
    CosEnTerritory_sg, CosEnTerritory_sh, CosEnTerritory_si,
    CosEnTerritory_sj, CosEnTerritory_sk, CosEnTerritory_sl,
    CosEnTerritory_sm, CosEnTerritory_sn, CosEnTerritory_so,
    CosEnTerritory_sp, CosEnTerritory_sr, CosEnTerritory_st,
    CosEnTerritory_sv, CosEnTerritory_sy, CosEnTerritory_sz,
    CosEnTerritory_tc, CosEnTerritory_td, CosEnTerritory_tf,
    CosEnTerritory_tg, CosEnTerritory_th, CosEnTerritory_tj,
    CosEnTerritory_tk, CosEnTerritory_tm, CosEnTerritory_tn,
    CosEnTerritory_to, CosEnTerritory_tp, CosEnTerritory_tr,
    CosEnTerritory_tt, CosEnTerritory_tv, CosEnTerritory_tw,
    CosEnTerritory_tz, CosEnTerritory_ua, CosEnTerritory_ug,
    CosEnTerritory_um, CosEnTerritory_us, CosEnTerritory_uy,
    CosEnTerritory_uz, CosEnTerritory_va, CosEnTerritory_vc,
    CosEnTerritory_ve, CosEnTerritory_vg, CosEnTerritory_vi,
    CosEnTerritory_vn, CosEnTerritory_vu, CosEnTerritory_wf,
    CosEnTerritory_ws, CosEnTerritory_ye, CosEnTerritory_yt,
    CosEnTerritory_yu, CosEnTerritory_za, CosEnTerritory_zm,
    CosEnTerritory_zr, CosEnTerritory_zw,
    // clang-format on
    CosEnTerritoryInvalid  // 242: not a territory of the table
  };

  // Joins language and territory codes in output; first separator that
  // init() looks for in input ("_" is the second).
  static char const* const cv_cpszCombiningCharString;

  // A buffer for the extract*Code functions: 2 + 1 + 3 characters and
  // the terminator.
  enum { EXTRACT_BUFFER_SIZE = 7 };

  // Both invalid, then init(text). A null text leaves both invalid.
  explicit CosClLanguage(char const* text);
  // Language from the high 16 bits, territory from the low 16 bits (the
  // inverse of asNumber()). Out-of-range halves are kept as given and
  // answer "??" in the getters.
  explicit CosClLanguage(unsigned int number);

  // (language << 16) | territory, each as 16 bits.
  unsigned int asNumber() const;

  // Parses a language text: "x-all" / "x-unspecified" (any case) give 0
  // and 0; the territory is the whole rest after the first "-" (or, when
  // there is none, the first "_"); the language is the first two
  // characters when the third is the end, "-" or "_". Unknown parts give
  // the invalid indexes.
  void init(char const* text);

  CosEnLanguage getLanguage() const { return m_enLanguage; }
  CosEnTerritory getTerritory() const { return m_enTerritory; }

  // Table lookups; "??" (or -1) for an index out of range.
  static char const* getLanguageCode(CosEnLanguage language);
  static char const* getLanguageName(CosEnLanguage language);
  static char const* getTerritoryCodeShort(CosEnTerritory territory);
  static char const* getTerritoryCodeLong(CosEnTerritory territory);
  static char const* getTerritoryName(CosEnTerritory territory);
  static int32_t getTerritoryIdNumber(CosEnTerritory territory);

  static unsigned int getNumberOfLanguagesSupported();    // 143
  static unsigned int getNumberOfTerritoriesSupported();  // 242

  // Each writes into `buffer` (EXTRACT_BUFFER_SIZE bytes) and returns it.
  // Short/Long: language "-" two- / three-letter territory, always.
  // ISO forms: the language code alone when the territory is
  // unspecified or invalid, else as the plain forms.
  char* extractShortCode(char* buffer) const;
  char* extractLongCode(char* buffer) const;
  char* extractISOShortCode(char* buffer) const;
  char* extractISOLongCode(char* buffer) const;

  // Case-insensitive lookup of a whole code; the invalid index when the
  // code is null or not in the table.
  static CosEnLanguage langCode2Enum(char const* code);
  static CosEnTerritory territoryCodeShort2Enum(char const* code);

 private:
  CosEnLanguage m_enLanguage;
  CosEnTerritory m_enTerritory;
};

// "??" when either part is out of range, the language code when the
// territory is unspecified, else language "-" two-letter territory code.
std::ostream& operator<<(std::ostream& out, CosClLanguage const& language);

#endif  // COS_LANGUAGE_HPP
