// The check the hostile tests and the pipeline harness rely on: it must
// reject each kind of fault a broken report could have.
#include "tests/xml_fault.h"

#include <gtest/gtest.h>

TEST(XmlFaultTest, AcceptsTheShapesOfAReport) {
  EXPECT_EQ(xmlFault("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XROD>\n"
                            "<XROD:NODE name=\"a &amp; &lt;b&gt;\" type='t'><TITLE LEVEL=\"2\">\n"
                            "<TEXT>caf\xC3\xA9 &#10;&#x1F600; &quot;q&quot; \xF0\x9F\x98\x80</TEXT>\n"
                            "<IMAGE NAME=\"arrow10.xpm\"/></TITLE>\n</XROD:NODE >\n</XROD>\n"),
            "");
  EXPECT_EQ(xmlFault("<!-- c --><a><![CDATA[<&]]><?pi x?></a>\n"), "");
}

TEST(XmlFaultTest, RejectsEachFault) {
  const char* const broken[] = {
      "",                                // no root element
      "<a></b>",                         // mismatched end tag
      "<a><b></a></b>",                  // crossed elements
      "<a>",                             // not closed
      "<a></a><b></b>",                  // two roots
      "text<a></a>",                     // text outside the root
      "<a>x & y</a>",                    // bare ampersand
      "<a>&nbsp;</a>",                   // undeclared entity
      "<a>&#0;</a>",                     // reference to NUL
      "<a>&#xD800;</a>",                 // reference to a surrogate
      "<a>]]></a>",                      // CDATA end in text
      "<a b=\"<\"></a>",                 // "<" in an attribute value
      "<a b=\"1\" b=\"2\"></a>",         // duplicate attribute
      "<a b=1></a>",                     // unquoted attribute
      "<a b=\"1\"c=\"2\"></a>",          // attributes not separated
      "<a>\x01</a>",                     // control character
      "<a>\xC3</a>",                     // cut UTF-8 sequence
      "<a>\xC0\xAF</a>",                 // overlong UTF-8
      "<a>\xED\xA0\x80</a>",             // encoded surrogate
      "<a>\xEF\xBF\xBE</a>",             // U+FFFE
      "<a><!-- x -- y --></a>",          // double hyphen in a comment
      "<!DOCTYPE a><a></a>",             // declaration
      "<a></a><?xml version=\"1.0\"?>",  // misplaced declaration
  };
  for (const char* document : broken)
    EXPECT_NE(xmlFault(document), "") << "accepted: " << document;
  EXPECT_NE(xmlFault(std::string_view("<a>\0</a>", 8)), "");
}
