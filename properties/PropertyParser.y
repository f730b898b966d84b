/* Grammar of the property text: one block is one map of values. The parser
   builds the PropertyObject tree bottom-up and stops right after the token
   that closes the outermost map. */

%code requires {
#include <string>

#include <properties/PropertyObject.h>
}

%code provides {
class FlexLexer;

// The state of the one parse that may run at a time in the process.
extern FlexLexer* lexer;
extern std::string errorMessage;
extern PropertyObject* _PropertyParserResult;
// The fault of a literal whose value no token holds; scan reports it rather
// than the syntax error the lexer's END leads to.
extern std::string valueFault;

int yylex();
void yyerror(const char* message);
}

%code {
#include <utility>

#include <FlexLexer.h>

/* The parse stack holds at most 9999 entries: the push that would make it
   10000 (YYMAXDEPTH) ends the parse with "memory exhausted", which yyerror
   reports as "parser stack overflow". It starts with room for YYINITDEPTH
   entries and doubles up to the limit. These are bison's own defaults,
   stated here because they bound the nesting a block may have: an array
   level takes two entries, a map level three (its pending key). */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000

FlexLexer* lexer = nullptr;
std::string errorMessage;
PropertyObject* _PropertyParserResult = nullptr;
std::string valueFault;

namespace {

void releaseElements(PropertyObject::ValueArray* elements)
{
    for (PropertyObject* element : *elements) {
        element->removeReference();
    }
    delete elements;
}

void releaseMembers(PropertyObject::ValueMap* members)
{
    for (auto& member : *members) {
        member.second->removeReference();
    }
    delete members;
}

// Stores value under key, whose characters move into the map; a later
// member of the same key wins.
void storeMember(PropertyObject::ValueMap& members, std::string&& key, PropertyObject* value)
{
    auto inserted = members.emplace(std::move(key), value);
    if (!inserted.second) {
        inserted.first->second->removeReference();
        inserted.first->second = value;
    }
}

// The token's text moves into the value: a string may be as long as the
// block, and a copy would hold it twice.
PropertyObject* takeString(std::string* text)
{
    PropertyObject* value = new PropertyObject(std::move(*text));
    delete text;
    return value;
}

}  // namespace
}

%union {
    bool boolValue;
    int intValue;
    long long longValue;
    double doubleValue;
    std::string* stringValue;
    PropertyObject::ValueArray* arrayValue;
    PropertyObject::ValueMap* mapValue;
    PropertyObject* objectValue;
}

/* Declared in this order, the tokens get the codes 258 to 268 the lexer
   has always returned. */
%token END
%token ARRAY_BEGIN ARRAY_END
%token MAP_BEGIN MAP_END
%token <intValue> INT
%token <longValue> LONG
%token <boolValue> BOOL
%token <doubleValue> DOUBLE
%token <stringValue> STRING IDENTIFIER

%type <objectValue> any_value array_value map_value
%type <arrayValue> element_list
%type <mapValue> member_list
%type <stringValue> member_key

/* An abandoned parse frees whatever it had built. */
%destructor { delete $$; } <stringValue>
%destructor { $$->removeReference(); } <objectValue>
%destructor { releaseElements($$); } <arrayValue>
%destructor { releaseMembers($$); } <mapValue>

%start block

%%

block:
    map_value {
        _PropertyParserResult = $1;
        /* Stop at once: reading a lookahead would consume the bytes behind
           the block. */
        YYACCEPT;
    }
  | END {
        _PropertyParserResult = nullptr;
        YYABORT;
    }
  ;

any_value:
    BOOL          { $$ = new PropertyObject($1); }
  | INT           { $$ = new PropertyObject($1); }
  | LONG          { $$ = new PropertyObject($1); }
  | DOUBLE        { $$ = new PropertyObject($1); }
  | STRING        { $$ = takeString($1); }
  | IDENTIFIER    { $$ = takeString($1); }
  | array_value   { $$ = $1; }
  | map_value     { $$ = $1; }
  ;

array_value:
    ARRAY_BEGIN element_list ARRAY_END   { $$ = new PropertyObject($2); }
  ;

element_list:
    %empty                    { $$ = new PropertyObject::ValueArray(); }
  | element_list any_value    { $$ = $1; $$->push_back($2); }
  ;

map_value:
    MAP_BEGIN member_list MAP_END   { $$ = new PropertyObject($2); }
  ;

member_list:
    %empty                             { $$ = new PropertyObject::ValueMap(); }
  | member_list member_key any_value   { $$ = $1; storeMember(*$$, std::move(*$2), $3); delete $2; }
  ;

member_key:
    STRING        { $$ = $1; }
  | IDENTIFIER    { $$ = $1; }
  ;

%%

int yylex()
{
    return lexer->yylex();
}

void yyerror(const char* message)
{
    // Bison words a full parse stack as memory exhaustion; the stack is
    // bounded on purpose (YYMAXDEPTH), so readers are told what happened.
    if (std::string(message) == "memory exhausted") {
        errorMessage = "parser stack overflow";
    } else {
        errorMessage = message;
    }
}
