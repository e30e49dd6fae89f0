#include "text/EastAsianText.h"

#include <bitset>

namespace {

// The most frequent characters of modern Chinese prose, in their simplified forms, then the
// traditional forms of those that differ. Korean writes its Hanja and Japanese its kanji mostly
// with the same characters.
constexpr char16_t kChinese[] =
    u"的一是不了在人有我他这个们中来上大为和国地到以说时要就出会可也你对生能而子那得于着下自之年过发后"
    u"作里用道行所然家种事成方多经么去法学如都同现当没动面起看定天分还进好小部其些主样理心她本前开但因只"
    u"从想实日军者意无力它与长把机十民第公此已工使情明性知全三又关点正业外将两高间由问很最重并物手应战向"
    u"头文体政美相见被利什二等产或新己制身果加西月话合回特代内信表化老给世位次度门任常先海通教儿原东声提"
    u"立及比员解水名真论处走义各入几口认条平系气题活更别打女变四神总何电数安少报才结反受目太量再感建务做"
    u"接必场件计管期市直资命山金指许统区保至队形社便空决治展马科司五基眼书非则听白却界达光放强即像难且权"
    u"思王象完设式色路记南品住告类求据程北边死张该交规万取拉格望觉术领共确传师观清今切院让识候带导争运笑"
    u"飞风步改收根干造言联持组每济车亲极林服快办议往元英士证近失转夫令准布始怎呢存未远叫台单影具字爱流备"
    u"兵连调深商算质团集百需价花党华城石级整府离况请技际约示复病息究线似官火断精满支视消越器容照须九增研"
    u"写称八功吗包片史委乎查轻易早曾除农找装广显吧标谈吃图念六引历首医局突专费号尽另周较注语仅考落青随选"
    u"列武红响虽推势参希古众构房半节土投某案黑维革划敌致律足态护七兴派孩验责营星够章音跟志底站严例防族供"
    u"效续施留讲型料终答紧黄绝奇察母京段依批群项故按河米围江织害斗双境客纪采举杀攻父密低朝友诉止细愿千值"
    u"仍男钱破网热助倒育属坐帝限船脸职速刻乐否刚威毛状率甚独球般普怕弹校苦创假久错承印晚试拿脑预谁益阳若"
    u"哪微继送急血惊伤素药适波夜省初喜卫源食险待述陆习置居劳财环排福纳欢警获模充负云停木游龙树疑层冷洲冲"
    u"射略范竟句室异激汉村策演简罪判担州静退既衣您宗积余痛检差富灵协角占配征修皮胜降阶审沉坚善妈读啊超免"
    u"压银买皇养怀执副乱抗犯追帮宣佛岁航优怪香著田铁控税左右份穿艺背阵草脚概恶块顿敢守酒岛托央户烈洋哥索"
    u"款靠评版宝座释景顾弟登货互付伯慢换闻危忙核暗姐介坏讨丽良序升监临亮露永呼味野架域沙掉括鱼杂误湾吉减"
    u"編楚肯测败屋跑梦散温困剑渐封救贵枪缺楼县尚毫移娘朋画班智亦耳恩短掌恐遗固席松秘谢遇康虑幸均销钟诗藏"
    u"赶剧票损忽巨旧端探湖录叶春乡附吸予礼港雨呀板庭妇归睛饭额含顺输摇招婚脱补谓督毒油疗旅泽材灭逐莫笔亡"
    u"鲜词圣择寻博烟授岸卖健堂旁宫喝借君禁阴园谋避抓荣姑孙逃牙束跳顶玉镇雪午练迫爷篇肉嘴馆遍凡础洞卷坦牛"
    u"宁纸诸训私庄祖丝翻暴森塔默握戏隐熟骨访弱歌店鬼软典欲伙遭盘爸扩盖弄雄稳忘亿刺拥徒齐赛趣曲刀床迎冰虚"
    u"玩析窗醒妻透购替塞努休虎扬途侵刑绿兄迅套贸毕唯谷轮库迹尤竞街促延震弃甲伟麻川申缓潜闪售灯针哲络抵抱"
    u"鼓植纯夏忍页杰筑折贝尊秀混臣雅振染盛怒舞圆搞狂措姓残秋培迷诚宽宇猛摆梅毁伸摩盟末乃悲拍丁尺"
    // Traditional forms.
    u"這個們來國為時說會對發後裡過經麼學現當沒動還進樣實無軍與長機開從兩關點業間將問見產體頭應戰"
    u"什麼東話門電總數條論處義認幾氣題別變神報結務場計區隊資統許書聽難權觀確傳師領覺術規萬設記張該"
    u"請類識導運爭飛風讓帶鄉將辦議遠單愛員師證轉準錢網熱屬職聯組濟車親極備華黨級離況價斷滿視際約復"
    u"線滿歷醫專費號盡較語僅選隨紅響雖勢參眾構節維劃敵態護興驗責營夠嚴陸習環劉歡獲雲龍樹層衝異漢"
    u"靜檢協積靈徵勝階審堅媽讀銀買養懷執亂幫宣歲航優藝陣惡塊頓敢島擇護貨換聞危監臨誤滅筆詞聖尋賣"
    u"園謀蘇榮孫鎮練爺篇館礎紙諸訓莊絲戲隱熟訪軟夥遭盤擴蓋雄穩億擁齊賽曲窗購貿畢輪庫跡競延震棄偉閃"
    u"售燈針絡築貝殘誠寬擺毀憲條項於兒們頁圖漸劍貴槍缺樓縣畫銷鐘詩藏劇票損舊錄葉鄉禮飯額輸擺謂毒療"
    u"澤煙奪壞討麗亞際鬥雙紀採舉殺攻密訴細願値男錢破網倒壓帥夢溫圍織害險適傷藥衛陽預誰繼送驚紛鳥";

// The most frequent Hangul syllables of Korean prose, its particles and endings first.
constexpr char16_t kKorean[] =
    u"이다는의에하고을가지기한리로사도서대자를수시으일어인정나아해그적게라만부제전주보상과들장국여원구위소"
    u"있것등우비성무학니연요내조세중경법면화신동모생실문오치관단심마미계개명회공물발분간강거선금말식했음까"
    u"된되습며할때않없년각후또통당행러르재두저드았었던업영차권람건결진산용유임날남현및따른함야록려민헌범벌"
    u"처징역규항호청즉집급써받본알와요름속론살좋같지데네군곳왜런떻게려워려운겠셨십팔백천만억번째근씨님";

// Kana, and the iteration mark and prolonged sound mark that go with them.
bool isKana(char16_t u)
{
    return (u >= 0x3041 && u <= 0x3096) || (u >= 0x30A1 && u <= 0x30FA) || u == 0x3005 || u == 0x30FC;
}

// Punctuation and symbols of the East Asian code pages: every one of them reads some of these in
// the bytes of another, so they say nothing about the reading.
bool isNeutral(char16_t u)
{
    return (u >= 0x2000 && u <= 0x2BFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF)
        || (u >= 0x00A0 && u <= 0x00FF) || (u >= 0x3200 && u <= 0x33FF);
}

using CharacterSet = std::bitset<0x10000>;

template <std::size_t N>
void add(CharacterSet& set, const char16_t (&characters)[N])
{
    for (std::size_t i = 0; i + 1 < N; ++i)
        set.set(characters[i]);
}

const CharacterSet& frequentSet(EastAsianText::Language language)
{
    static const CharacterSet kSets[3] = {
        [] { CharacterSet set; add(set, kChinese); return set; }(),
        [] { CharacterSet set; add(set, kChinese); return set; }(),
        [] { CharacterSet set; add(set, kChinese); add(set, kKorean); return set; }(),
    };
    return kSets[int(language)];
}

// A character that reads wrong counts as this many that miss.
constexpr qsizetype kReplacementWeight = 4;

} // namespace

namespace EastAsianText {

double frequentShare(QStringView text, Language language)
{
    const CharacterSet& frequent = frequentSet(language);
    const bool kana = language == Language::Japanese;
    qsizetype counted = 0;
    qsizetype hits = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || isNeutral(u))
            continue;
        if (u == 0xFFFD) {
            counted += kReplacementWeight;
            continue;
        }
        ++counted;
        hits += frequent.test(u) || (kana && isKana(u));
    }
    return counted == 0 ? 0.0 : double(hits) / double(counted);
}

} // namespace EastAsianText
