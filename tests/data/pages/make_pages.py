#!/usr/bin/env python3
"""Writes the results-page fixtures of this folder, in the engine's markup of 2011-2012 and
in its later DIV layouts (the later_*.html pages).

Run it from anywhere; it rewrites the .html files beside itself. The output is committed, so
the build never runs this script. Pages whose name ends in _gb2312 are written as GB2312
bytes and say so in their Content-Type meta element; all others are UTF-8.
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))
QUERY = "domain%3Awww.example.com"


def snapshot(n, qid):
    return ("http://cache.baidu.com/c?m=9f65cb4a8c8507ed4fece7631046893b4c4380146d96864968d4e414c4224617"
            "&p=8b2a9f1e%d&user=baidu&fm=sc&query=%s&qid=%s&p1=%d" % (n, QUERY, qid, n))


def result(n, url, title, abstract, line, qid="e7a0c5d21f9b3a64"):
    """One organic result: its own table, the address line in the SPAN of class g."""
    return (
        '<table cellpadding="0" cellspacing="0" class="result" id="%d"><tr><td class=f>\n'
        '<h3 class="t"><a href="%s" target="_blank">%s</a></h3><font size=-1>%s<br>\n'
        '<span class="g">%s</span> - <a href="%s" class="m">百度快照</a><br>\n'
        '</font></td></tr></table><br>\n' % (n, url, title, abstract, line, snapshot(n, qid)))


def page_bar(current, pages, nums):
    """The page bar: links to the neighbouring pages, the total as its last child."""
    links = []
    for p in range(pages):
        if p == current:
            links.append('<strong><span class="pc">%d</span></strong>' % (p + 1))
        else:
            links.append('<a href="/s?wd=%s&pn=%d"><span class="pc">%d</span></a>'
                         % (QUERY, p * 10, p + 1))
    if current + 1 < pages:
        links.append('<a href="/s?wd=%s&pn=%d" class="n">下一页&gt;</a>' % (QUERY, (current + 1) * 10))
    links.append('<span class="nums">%s</span>' % nums)
    return '<p id="page">%s</p>\n' % "".join(links)


SEARCH_FORM = (
    '<table cellspacing="0" cellpadding="0" id="head"><tr><td valign="top" nowrap>'
    '<a href="/"><img src="http://www.baidu.com/img/baidu_jgylogo3.gif" width="117" height="38" '
    'border="0" alt="到百度首页" title="到百度首页"></a></td><td>'
    '<form name="f" action="/s"><input name="wd" id="kw" size="42" class="i" value="domain:www.example.com" '
    'maxlength="100"><input type="submit" value="百度一下" id="su"><input type="hidden" name="tn" value="baidu">'
    '</form></td></tr></table>\n')


def document(body, charset="utf-8", head_extra=""):
    return (
        '<!DOCTYPE html PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">\n'
        '<html><head>\n'
        '<meta http-equiv="Content-Type" content="text/html; charset=%s">\n'
        '<title>百度搜索_domain:www.example.com</title>\n%s'
        '</head><body link="#0000cc">\n%s%s</body></html>\n' % (charset, head_extra, SEARCH_FORM, body))


# Results as (address, title, abstract, address line). The address lines cover every shape
# the reader meets: a trailing blank, bold runs around the matched host, relative dates,
# " ... " in a truncated address, the size field of older pages, no trailing blank.
FIRST_PAGE = [
    ("http://www.example.com/", "Example 示例网站首页",
     "欢迎访问示例网站。本站提供<b>www.example.com</b>相关的资讯、下载与技术文章。",
     "www.<b>example.com</b>/ 2011-12-5 "),
    ("http://bbs.example.net/thread-1024-1-1.html", "关于示例网站的讨论 - 示例论坛",
     "有人用过www.example.com吗？感觉页面做得不错，速度也很快...",
     "bbs.example.net/thread-1024-1-1.html 2011-11-28 "),
    ("http://blog.sina.com.cn/s/blog_4a7c2e0b0100xk3d.html", "推荐几个好用的网站_新浪博客",
     "今天给大家推荐几个常用的网站，第一个是www.example.com，内容很全...",
     "blog.sina.com.cn/s/blog_4a7c2e0b0100xk3d.html 2011-12-1 "),
    ("http://tieba.baidu.com/p/1311927372", "示例网站吧_百度贴吧",
     "示例网站吧 www.example.com 官方贴吧，欢迎大家交流。",
     "tieba.baidu.com/p/1311927372 3小时前 "),
    ("http://www.douban.com/group/topic/24598817/", "这个网站大家觉得怎么样 - 豆瓣小组",
     "来自: 小明 2011-12-03 www.example.com 大家觉得怎么样？",
     "www.douban.com/group/topic/24598817/ 25分钟前 "),
    ("http://www.cnblogs.com/korvane/archive/2011/12/05/2276615.html", "网站收录情况分析 - 博客园",
     "以www.example.com为例，分析搜索引擎的收录情况和外链数量...",
     "www.cnblogs.com/korvane/archive/2011/12/05/2276615.html 2011-12-5 "),
    ("http://zhidao.baidu.com/question/351687202.html", "www.example.com是什么网站_百度知道",
     "最佳答案: 这是一个综合性的资讯网站...",
     "zhidao.baidu.com/question/351687202.html 2011-11-9 "),
    ("http://www.dianping-example.cn/links/partners/friendly/index.php?page=3&sort=new",
     "友情链接 - 合作伙伴",
     "合作伙伴：www.example.com 示例网站 ...",
     "www.dianping-example.cn/links/partners/fr ... 2011-10-17 "),
    ("http://hi.baidu.com/korvane/blog/item/5c4e1a2f.html", "收藏的网址_korvane的空间",
     "平时常去的网站：www.<b>example</b>.com ...",
     "hi.baidu.com/korvane/blog/item/5c4e1a2f.html 12K 2011-1-5 "),
    ("http://www.example.org/links.html", "相关链接",
     "相关站点：www.example.com",
     "www.example.org/links.html 2011-8-30"),
]

SECOND_PAGE = [
    ("http://bbs.example.net/thread-2048-1-1.html", "示例网站改版了 - 示例论坛",
     "www.example.com 改版以后好看多了。",
     "bbs.example.net/thread-2048-1-1.html 2011-12-6 "),
    ("http://tieba.baidu.com/p/1312000001", "求www.example.com的邀请码_百度贴吧",
     "求邀请码，谢谢！",
     "tieba.baidu.com/p/1312000001 1小时前 "),
    ("http://blog.163.com/korvane@126/blog/static/1234567201111", "网站推荐_网易博客",
     "推荐：www.example.com",
     "blog.163.com/korvane@126/blog/static/12 ... 2011-11-30 "),
    ("http://www.example.com/about.html", "关于我们 - 示例网站",
     "www.example.com 关于我们",
     "www.<b>example.com</b>/about.html 2011-12-2 "),
]

# Address lines as the engine's pages of 2011 really spaced them: two blanks at the end, two
# after the mark of a cut address and none at the end, a tab and a line break, bold runs, an
# escaped query string.
REAL_SPACING_PAGE = [
    ("http://www.example.com/a/b.html", "示例网站 - 文章", "www.example.com 的一篇文章",
     "www.example.com/a/b.html 2011-7-29  "),
    ("http://blog.example.net/x/archive/2007/04/05/1.html", "存档 - 示例博客", "存档文章",
     "blog.example.net/x/archive/2007/04/05/1 ... 2011-6-17  "),
    ("http://wenku.example.com/view/ac14e0f2.html", "示例文库", "文库文档",
     "wenku.example.com/view/ac14 ...  2011-4-19"),
    ("http://example.org/", "Example 组织", "组织首页",
     "<b>example</b>.org/ 2011-7-29  "),
    ("http://bbs.example.cn/thread-9-1-1.html", "讨论帖 - 示例论坛", "论坛讨论",
     "bbs.example.cn/thread-9-1-1.html\n2011-7-28\t "),
    ("http://www.example-links.cn/go.php?id=3&from=bd", "友情链接", "链接页",
     "www.example-links.cn/go.php?id=3&amp;from=bd 2011-7-1  "),
    ("http://tieba.example.com/p/13", "示例吧", "贴吧帖子",
     "tieba.example.com/p/13 5小时前  "),
]

# The related-searches table that follows the page bar: its first cell has no child element.
RELATED_SEARCHES = (
    '<div id="rs"><table cellpadding="0"><tr><th rowspan="2" class="tt">相关搜索</th>'
    + "<td></td>".join('<th><a href="s?wd=%s">%s</a></th>' % (w, w) for w in ("示例网站", "示例论坛", "示例文库"))
    + '</tr><tr>'
    + "<td></td>".join('<th><a href="s?wd=%s">%s</a></th>' % (w, w) for w in ("示例博客", "示例链接"))
    + '</tr></table></div>\n')

REPEAT_OF_FIRST_QID = "0b4d9e1c77a2f805"

BAD_LINE_PAGE = [
    FIRST_PAGE[0], FIRST_PAGE[1],
    ("http://www.broken-line.cn/", "没有日期的结果", "地址栏里没有空格", "www.broken-line.cn/"),
    FIRST_PAGE[2],
]


def results(entries, qid="e7a0c5d21f9b3a64"):
    return "".join(result(i + 1, *e, qid=qid) for i, e in enumerate(entries))


def write(name, text, encoding="utf-8"):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(text.encode(encoding))


def big_head():
    """Style and script as the engine sent them: the bulk of a real results page."""
    style = ["<style>"]
    for i in range(470):
        style.append("#r%d .t a{font-size:medium;color:#261cdc;text-decoration:underline}"
                     ".g%d{color:#008000;font-size:13px}" % (i, i))
    style.append("</style>\n")
    script = ["<script>var bds={se:{},su:{urdata:[],urSendClick:function(){}},util:{},use:{},comm:{"]
    for i in range(430):
        script.append("k%d:\"%s\"," % (i, "a1b2c3d4e5f6" * 5))
    script.append("qid:\"e7a0c5d21f9b3a64\"}};\nfunction h(obj){obj.style.behavior='url(#default#homepage)';"
                  "var a = obj.setHomePage('http://www.baidu.com/');}</script>\n")
    return "".join(style) + "".join(script)


# The engine's answers when it suspects automated use. Both are refusals, whatever they hold.
def verify_security():
    """The newer verification page: its own title, scripts from the verification host."""
    return (
        '<!DOCTYPE html>\n<html lang="zh-CN"><head>\n'
        '<meta charset="utf-8">\n'
        '<meta name="viewport" content="width=device-width,initial-scale=1,user-scalable=no">\n'
        '<title>百度安全验证</title>\n'
        '<link rel="stylesheet" href="https://wappass.baidu.com/static/machine/css/check.css">\n'
        '<script src="https://wappass.baidu.com/static/machine/js/check.js"></script>\n'
        '</head><body>\n'
        '<div class="check-box"><p class="check-tip">请完成下方验证后继续操作</p>\n'
        '<div id="check-widget"></div></div>\n'
        '<table class="foot"><tr><td><a href="/">返回首页</a></td><td>反馈</td></tr></table>\n'
        '<script>window.checkOptions={ak:"00000000000000000000000000000000",'
        'backurl:"http%3A%2F%2Fwww.baidu.com%2Fs%3Fwd%3D' + QUERY + '",timestamp:"1324000000"};'
        '</script>\n</body></html>\n')


def verify_access_error():
    """The older one, in GB2312: a captcha picture and a form posting to the verification host.
    It holds tables like a results page, which must not be read as one."""
    return (
        '<html><head>\n'
        '<meta http-equiv="Content-Type" content="text/html; charset=gb2312">\n'
        '<title>百度--您的访问出错了</title>\n'
        '</head><body>\n'
        '<table width="100%"><tr><td><a href="http://www.baidu.com/">百度首页</a></td></tr></table>\n'
        '<table align="center"><tr><td>\n'
        '<p>您的电脑或所在局域网络有异常的访问，此刻我们无法响应您的请求。</p>\n'
        '<p>请输入以下验证码，即可恢复使用。</p>\n'
        '<form action="http://verify.baidu.com/verify" method="post">\n'
        '<img src="http://verify.baidu.com/cgi-bin/genimg?0123456789abcdef" width="120" height="40">\n'
        '<input type="text" name="vcode" size="6"><input type="hidden" name="vcodestr" value="0123456789abcdef">\n'
        '<input type="submit" value="提交"></form>\n'
        '<span class="g">verify.baidu.com/verify 2011-12-5 </span>\n'
        '</td></tr></table>\n'
        '</body></html>\n')


# --- The engine's later layouts: one DIV of class c-container per result -------------------

NBSP = "&nbsp;"


def later_document(body, title="domain:www.example.com_百度搜索", head_extra=""):
    return (
        '<!DOCTYPE html>\n<html><head>\n'
        '<meta http-equiv="content-type" content="text/html;charset=utf-8">\n'
        '<title>%s</title>\n%s</head><body>\n'
        '<div id="wrapper"><div id="head"><form id="form" name="f" action="/s">'
        '<input id="kw" name="wd" value="domain:www.example.com" maxlength="255">'
        '<input type="submit" id="su" value="百度一下"></form></div>\n'
        '%s</div></body></html>\n' % (title, head_extra, body))


def link(n):
    return "http://www.baidu.com/link?url=Kq%04dZ7rVb0cXn3e" % n


def title(n, text):
    return '<h3 class="t"><a href="%s" target="_blank">%s</a></h3>' % (link(n), text)


def tools(n):
    return ('<div class="c-tools" id="tools_%d_1" data-tools=\'{"title":"t","url":"%s"}\'>'
            '<a class="c-tip-icon"><i class="c-icon c-icon-triangle-down-g"></i></a></div>' % (n, link(n)))


def snapshot_2013(n):
    return ' - <a data-click="{}" href="http://cache.baiducontent.com/c?m=9d78d513d9%d" target="_blank" class="m">百度快照</a>' % n


def result_2015(n, shown, date, abstract):
    line = shown + NBSP + (date + NBSP if date else "")
    return ('<div class="result c-container " id="%d" srcid="1599" tpl="se_com_default" data-click="{}">'
            '%s<div class="c-abstract">%s</div>'
            '<div class="f13"><span class="g">%s</span>%s%s</div></div>\n'
            % (n, title(n, "结果 %d" % n), abstract, line, tools(n), snapshot_2013(n)))


def result_2016(n, shown, date, abstract, footer="f13", showurl="c-showurl"):
    time = ('<span class=" newTimeFactor_before_abs m">%s%s-%s</span>' % (date, NBSP, NBSP)) if date else ""
    return ('<div class="result c-container " id="%d" srcid="1599" tpl="se_com_default" data-click="{}">'
            '%s<div class="c-abstract">%s%s</div>'
            '<div class="%s"><a target="_blank" href="%s" class="%s" style="text-decoration:none;">%s%s</a>'
            '%s%s</div></div>\n'
            % (n, title(n, "结果 %d" % n), time, abstract, footer, link(n), showurl, shown, NBSP, tools(n),
               snapshot_2013(n)))


def site_name_2016(name):
    """A site name instead of an address, after an inline style and an icon."""
    return ('<style>.source-icon {display:inline-block;width:16px;height:16px;vertical-align:text-bottom}</style>'
            '<img class="source-icon" src="https://img.example.cn/icon/zhidao.png">' + name)


def result_2026(n, mu, shown, date, abstract):
    time = ('<span class="cos-space-mr-3xs cos-color-text-minor prefix-time_650Xx click-area-exp-inline">%s</span>'
            % date) if date else ""
    return ('<div class="result c-container xpath-log new-pmd" srcid="1599" id="%d" tpl="www_index" mu="%s" '
            'data-op="{}"><div class="c-container_5ka9V card_2Jv0M"><div class="title-wrapper_XLSiK">'
            '<h3 class="title_4QsBx"><a class="sc-link_c3A9b" href="%s">结果 %d</a></h3></div>'
            '<div class="summary-text_560AW">%s<span class="summary-body_1g3Ie">%s</span></div>'
            '<div class="cosc-card-footer footer_3kT1w" data-module="source"><div class="source_1Vdff">'
            '<a class="cosc-source-a cosc-source-link" href="%s"><span class="cosc-source-text cos-line-clamp-1">'
            '%s</span></a></div></div></div></div>\n' % (n, mu, link(n), n, time, abstract, link(n), shown))


def card(tpl, mu, inner):
    """A card among the results (encyclopaedia, video...): no address line; holds a container."""
    return ('<div class="result-op c-container xpath-log" tpl="%s" mu="%s" data-op="{}">'
            '<div class="c-container"><h3 class="t"><a href="%s">%s</a></h3>'
            '<div class="c-span-last">baike.example.cn 的词条</div></div></div>\n' % (tpl, mu, mu, inner))


def pager_2013(current, next_page=True):
    links = "".join('<a href="/s?wd=%s&pn=%d"><span class="pc">%d</span></a>' % (QUERY, p * 10, p + 1)
                    if p != current else '<strong><span class="pc">%d</span></strong>' % (p + 1)
                    for p in range(max(0, current - 2), current + 3))
    if next_page:
        links += '<a href="/s?wd=%s&pn=%d" class="n">下一页&gt;</a>' % (QUERY, (current + 1) * 10)
    return '<div id="page">%s</div>\n' % links


def pager_2026(current, next_page=True, previous=False):
    items = ('<a class="n pre_Hs8Pp" href="/s?wd=%s&pn=%d&oq=x">&lt; 上一页</a>' % (QUERY, (current - 1) * 10)
             if previous and current > 0 else "")
    items += "".join('<a class="page-item_M4MDr" href="/s?wd=%s&pn=%d">%d</a>' % (QUERY, p * 10, p + 1)
                    if p != current else '<span class="page-item_M4MDr pc-item_1ZjhY">%d</span>' % (p + 1)
                    for p in range(max(0, current - 2), current + 3))
    if next_page:
        items += '<a class="n next_d-g2R" href="/s?wd=%s&pn=%d&oq=x">下一页 &gt;</a>' % (QUERY, (current + 1) * 10)
    return '<div id="page" class="page_2muyV"><div class="page-inner_2jZi2">%s</div></div>\n' % items


def nums_2013(total):
    return '<div class="nums">百度为您找到相关结果约%s个</div>\n' % total


def nums_2016(total, cls="nums"):
    return ('<div class="%s"><div class="search_tool"><i class="c-icon"></i>搜索工具</div>'
            '<span class="nums_text">百度为您找到相关结果约%s个</span></div>\n' % (cls, total))


def later_2015():
    results = [
        result_2015(1, "www.example.com/group/t...", "2012-02-24", "示例网站的小组讨论"),
        result_2015(2, "bbs.example.net/thread-77-1-1.html", "2013-7-5", "论坛帖子"),
        result_2015(3, "www.example.com/about.html", "", "没有日期的结果"),
        card("bk_polysemy", "https://baike.example.cn/item/example", "示例_百科"),
        result_2015(4, "tieba.example.cn/p/3012", "3小时前", "贴吧帖子"),
    ]
    return later_document(nums_2013("4,710") + '<div id="content_left">\n' + "".join(results) + '</div>\n'
                          + pager_2013(0))


def later_2018():
    results = [
        result_2016(1, "www.exa<b>mple</b>.com/", "2016年11月16日", "示例网站首页"),
        result_2016(2, site_name_2016("百度知道"), "2017年3月2日", "问答"),
        result_2016(3, "https://tieba.example.com/f?kw=%E7%A4%BA%E4%BE%8B", "6天前", "贴吧"),
        card("sp_realtime_bigpic5", "https://video.example.cn/v/1", "示例视频"),
        result_2016(4, "blog.example.org/2017/0...", "", "博客"),
        result_2016(5, "www.example.com/news/", "昨天 12:30", "新闻"),
    ]
    return later_document(nums_2016("72,900,000") + '<div id="content_left">\n' + "".join(results) + '</div>\n'
                          + pager_2013(0))


def later_2020_results(count, offset=0):
    out = []
    for i in range(count):
        n = offset + i + 1
        date = "" if i % 3 == 1 else "2020年%d月%d日" % (1 + i % 12, 1 + i % 28)
        out.append(result_2016(n, "www.site%d.example.cn/a/%d.html" % (i % 7, n), date, "第%d条结果的摘要文字" % n,
                               footer="f13 se_st_footer", showurl="c-showurl c-color-gray"))
    return out


def later_2020():
    return later_document(nums_2016("16") + '<div id="content_left">\n' + "".join(later_2020_results(10)) + '</div>\n'
                          + pager_2013(0))


def later_2021():
    footer, showurl = "f13 c-gap-top-xsmall se_st_footer user-avatar", "c-showurl c-color-gray"
    results = [
        result_2016(1, "www.example.com/2021/x.html", "2021年5月9日", "文章", footer, showurl),
        result_2016(2, "http://zhuanlan.example.cn/p/1021", "", "专栏", footer, showurl),
        card("bk_polysemy", "https://baike.example.cn/item/example", "示例_百科"),
        result_2016(3, site_name_2016("百度文库"), "前天 08:15", "文库", footer, showurl),
    ]
    return later_document(nums_2016("1,020", "nums new_nums") + '<div id="content_left">\n' + "".join(results)
                          + '</div>\n' + pager_2013(1))


def later_2026(current=0, next_page=True, previous=False):
    results = [
        result_2026(1, "https://www.example.com/magazine/frontend/a-long-path/", "www.example.com/magaz...",
                    "2023年4月28日", "杂志文章"),
        result_2026(2, "https://github.com/oven-sh/x/", "GitHub", "", "代码仓库"),
        card("bk_polysemy", "https://baike.example.cn/item/example", "示例_百科"),
        result_2026(3, "https://cloud.tencent.example.cn/developer/article/1", "腾讯云计算", "3天前", "开发者文章"),
        result_2026(4, "", "百度百科", "2024年1月2日", "词条：没有 mu 地址。为什么没有找到与示例相关的网页？"),
    ]
    body = ('<div class="hint_PIStE">百度为您找到以下结果</div>\n<div id="content_left">\n' + "".join(results)
            + '<!--s-data:{"title":"x","mu":"https://www.example.com/"}-->\n</div>\n'
            + pager_2026(current, next_page, previous))
    return later_document(body)


def later_2026_cards_only():
    """A page past the results: cards only, no entry, and still a link to a next page."""
    body = ('<div id="content_left">\n' + card("bk_polysemy", "https://baike.example.cn/item/example", "示例_百科")
            + card("sp_realtime_bigpic5", "https://video.example.cn/v/1", "示例视频") + '</div>\n'
            + pager_2026(6, True, True))
    return later_document(body)


def later_2026_targets(current=0, next_page=True):
    """Where the displayed address and the block's own target (mu) disagree: cut hosts and
    paths, a site name, the engine's placeholder target, a whole address beside another mu."""
    results = [
        result_2026(1, "https://docs.example-protocol.mintlify.app/docs/getting-started",
                    "docs.example-protocol.mintlify.ap...", "2025年3月1日", "被截断的主机名"),
        result_2026(2, "https://www.example.com/magazine/frontend/a-long-path/", "www.example.com/magaz…",
                    "2025年3月2日", "被截断的路径"),
        result_2026(3, "http://nourl.ubs.baidu.com/51270", "百度百科", "2025年3月3日", "答案卡片，显示站点名"),
        result_2026(4, "https://bbs.example.net/thread-9-1-1.html", "知乎", "2025年3月4日", "站点名"),
        result_2026(5, "http://nourl.ubs.baidu.com/88112", "www.example.org/answer...", "", "答案卡片，显示地址"),
        result_2026(6, "https://mirror.example.cn/other/", "blog.example.org/2025/whole.html", "2025年3月6日",
                    "完整地址，mu 指向别处"),
    ]
    body = ('<div class="hint_PIStE">百度为您找到以下结果</div>\n<div id="content_left">\n' + "".join(results)
            + '</div>\n' + pager_2026(current, next_page))
    return later_document(body)


def later_none():
    return later_document(
        '<div id="content_left"><div class="content_none"><div class="nors">'
        '<p>很抱歉，没有找到与<span style="font-family:宋体">“</span><em>domain:www.example.com</em>'
        '<span style="font-family:宋体">”</span>相关的网页。</p><p>温馨提示：请检查您的输入是否正确</p>'
        '</div></div></div>\n')


def later_none_other_product():
    return later_document('<div class="nors"><p>抱歉，没有找到与<em>domain:www.example.com</em>相关的结果。</p></div>\n')


def script_only():
    return ('<html><head><script>location.replace("http://www.example.cn/s?wd=x")</script>'
            '<noscript><meta http-equiv="refresh" content="0;url=http://www.example.cn/s?wd=x"></noscript>'
            '</head></html>\n')


def foreign_template():
    rows = "".join(
        '<table class="result" id="%d"><tr><td><a href="http://%s/">标题 %d</a><br><font size=-1>摘要 %d<br>'
        '<font color=#008000>%s/&nbsp;89K&nbsp;2015-10-9&nbsp;</font></font></td></tr></table>\n'
        % (n, host, n, n, host) for n, host in enumerate(["www.example.com", "bbs.example.net", "blog.example.org"], 1))
    return ('<html><head><meta charset="utf-8"><title>百度搜索_domain:www.example.com</title></head><body>\n'
            '<table class="head"><tr><td><form action="/s"><input name="word"></form></td></tr></table>\n'
            + rows + '<table><tr><td style="color:#666">百度为您找到相关网页760篇。</td></tr></table>\n</body></html>\n')


def later_large():
    """The benchmark page of the later layout: ten results of 2020 among some 370 KB of style,
    script and chrome."""
    style = ["<style>"]
    for i in range(1400):
        style.append(".c-container_%d .t a{font-size:medium;color:#2440b3;text-decoration:none}"
                     ".c-showurl_%d{color:#626675;font-size:13px}" % (i, i))
    style.append("</style>\n")
    script = ["<script>var bds={se:{},su:{urdata:[],urSendClick:function(){}},util:{},comm:{"]
    for i in range(2820):
        script.append("k%d:\"%s\"," % (i, "a1b2c3d4e5f6" * 5))
    script.append("qid:\"e7a0c5d21f9b3a64\"}};</script>\n")
    related = '<div id="rs"><div class="tt">相关搜索</div><table cellpadding="0"><tr>' + "".join(
        '<th><a href="/s?wd=example%d">示例网站%d</a></th>' % (i, i) for i in range(9)) + '</tr></table></div>\n'
    body = (nums_2016("16") + '<div id="content_left">\n' + "".join(later_2020_results(10)) + '</div>\n'
            + related + pager_2013(3))
    return later_document(body, head_extra="".join(style) + "".join(script))


def write_later():
    write("later_2015.html", later_2015())
    write("later_2018.html", later_2018())
    write("later_2020.html", later_2020())
    write("later_2021.html", later_2021())
    write("later_2026.html", later_2026())
    write("later_2026_last.html", later_2026(4, next_page=False))
    write("later_2026_targets.html", later_2026_targets())
    write("later_2026_last_previous.html", later_2026(4, next_page=False, previous=True))
    write("later_2026_cards_only.html", later_2026_cards_only())
    write("later_none.html", later_none())
    write("later_none_other_product.html", later_none_other_product())
    write("later_script_only.html", script_only())
    write("later_foreign_template.html", foreign_template())
    write("later_large.html", later_large())


def main():
    write("results_total_4050.html",
          document(results(FIRST_PAGE) + page_bar(0, 10, "找到相关结果约4,050个")))
    write("results_total_95_gb2312.html",
          document(results(FIRST_PAGE[:5]) + page_bar(0, 10, "找到相关结果约95个"), charset="gb2312"),
          encoding="gb2312")
    write("results_walk_2.html",
          document(results(SECOND_PAGE) + page_bar(1, 10, "找到相关结果约4,050个")))
    write("results_walk_2_gb2312.html",
          document(results(SECOND_PAGE) + page_bar(1, 10, "找到相关结果约95个"), charset="gb2312"),
          encoding="gb2312")
    # The first page served again: the same results, a different request id in the snapshot
    # links (after the entry's last "-").
    write("results_repeat_of_total_4050.html",
          document(results(FIRST_PAGE, qid=REPEAT_OF_FIRST_QID) + page_bar(0, 10, "找到相关结果约4,050个")))
    write("results_bad_line.html",
          document(results(BAD_LINE_PAGE) + page_bar(2, 10, "找到相关结果约4,050个")))
    # A query without results: only the search form, no page bar.
    write("results_none.html",
          document('<div id="noresult">抱歉，没有找到与“domain:www.example.com”相关的网页。</div>\n'))
    # The benchmark page: ten results and the page bar among the style, script and chrome of
    # a full-size page.
    related = '<div id="rs"><p>相关搜索</p><ul>' + "".join(
        '<li><a href="/s?wd=example%d">示例网站%d</a></li>' % (i, i) for i in range(9)) + '</ul></div>\n'
    body = results(FIRST_PAGE) + page_bar(3, 10, "找到相关结果约4,050个") + related
    large = document(body, head_extra=big_head())
    write("results_large.html", large)
    write("results_real_spacing.html",
          document(results(REAL_SPACING_PAGE) + page_bar(2, 10, "找到相关结果约4,050个") + RELATED_SEARCHES))
    write("verify_security.html", verify_security())
    write("verify_access_error_gb2312.html", verify_access_error(), encoding="gb2312")
    write_later()


if __name__ == "__main__":
    main()
